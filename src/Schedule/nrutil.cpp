#include "Schedule/nrutil.h"

#include <cstdio>
#include <vector>

#include "core/debug.h"
#include "core/exitcodes.h"
#include "platform/exit.h"

void NR_Error(const char* text) { Error_Warning("NR Util RunTime Error : [%s]", text ? text : ""); }

void NR_Fatal(const char* text, int number) {
    std::printf("%s\n", text ? text : "");
    std::printf("Error number  %d\n", number);
    std::fflush(stdout);
    Plat_Exit(kExitNumericFatal);
}

NrVector<float> NR_Vector(int lo, int hi) { return NrVector<float>(lo, hi, "allocation failure in NR_Vector()"); }
NrVector<uint8_t> NR_Cvector(int lo, int hi) {
    return NrVector<uint8_t>(lo, hi, "allocation failure in NR_Cvector()");
}
NrVector<int16_t> NR_Svector(int lo, int hi) {
    return NrVector<int16_t>(lo, hi, "allocation failure in NR_Svector()");
}
NrVector<int32_t> NR_Ivector(int lo, int hi) {
    return NrVector<int32_t>(lo, hi, "allocation failure in NR_Ivector()");
}
NrVector<double> NR_Dvector(int lo, int hi) {
    return NrVector<double>(lo, hi, "allocation failure in NR_Dvector()");
}
NrVector<void*> NR_ptr_vector(int lo, int hi) {
    return NrVector<void*>(lo, hi, "allocation failure in NR_ptr_vector()");
}

NrMatrix<float> NR_Matrix(int rlo, int rhi, int clo, int chi) {
    return NrMatrix<float>(rlo, rhi, clo, chi, "allocation failure 1 in matrix()", "allocation failure 2 in NR_Matrix()");
}
NrMatrix<void*> NR_Ptr_Matrix(int rlo, int rhi, int clo, int chi) {
    return NrMatrix<void*>(rlo, rhi, clo, chi, "allocation failure 1 in matrix()",
                           "allocation failure 2 in NR_Ptr_Matrix()");
}
NrMatrix<double> NR_Dmatrix(int rlo, int rhi, int clo, int chi) {
    return NrMatrix<double>(rlo, rhi, clo, chi, "allocation failure 1 in NR_Dmatrix()",
                            "allocation failure 2 in NR_Dmatrix()");
}
NrMatrix<int32_t> NR_Imatrix(int rlo, int rhi, int clo, int chi) {
    return NrMatrix<int32_t>(rlo, rhi, clo, chi, "allocation failure 1 in NR_Imatrix()",
                             "allocation failure 2 in NR_Imatrix()");
}
NrMatrix<uint8_t> NR_Cmatrix(int rlo, int rhi, int clo, int chi) {
    return NrMatrix<uint8_t>(rlo, rhi, clo, chi, "allocation failure 1 in NR_Cmatrix()",
                             "allocation failure 2 in NR_Cmatrix()");
}
NrMatrix<int16_t> NR_Smatrix(int rlo, int rhi, int clo, int chi) {
    return NrMatrix<int16_t>(rlo, rhi, clo, chi, "allocation failure 1 in NR_Cmatrix()",
                             "allocation failure 2 in NR_Cmatrix()");
}

NrMatrix<float> submatrix(const NrMatrix<float>& a, int oldrl, int oldrh, int oldcl, int newrl, int newcl) {
    const int rows = oldrh - oldrl + 1;
    // The view ends where a's columns end.
    const int newch = newcl + (a.ColHi() - oldcl);
    if (!a || rows <= 0 || oldrl < a.RowLo() || oldrh > a.RowHi() || oldcl < a.ColLo() || oldcl > a.ColHi()) {
        NR_Error("allocation failure in submatrix()");
        return {};
    }
    std::vector<float*> starts(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) starts[static_cast<size_t>(r)] = a.RowData(oldrl + r) + (oldcl - a.ColLo());
    return NrMatrix<float>::View(starts.data(), newrl, newrl + rows - 1, newcl, newch,
                                 "allocation failure in submatrix()");
}

NrMatrix<float> convert_matrix(float* a, int rlo, int rhi, int clo, int chi) {
    const long long rows = static_cast<long long>(rhi) - rlo + 1;
    const long long cols = static_cast<long long>(chi) - clo + 1;
    if (!a || rows <= 0 || cols <= 0) {
        NR_Error("allocation failure in convert_matrix()");
        return {};
    }
    std::vector<float*> starts(static_cast<size_t>(rows));
    for (long long r = 0; r < rows; ++r) starts[static_cast<size_t>(r)] = a + r * cols;
    return NrMatrix<float>::View(starts.data(), rlo, rhi, clo, chi, "allocation failure in convert_matrix()");
}

std::string Util_JoinPath(const char* start, const char* part1, const char* part2, const char* part3,
                          const char* suffix) {
    std::string out = start ? start : "";
    for (const char* part : {part1, part2, part3}) {
        if (!part || !*part) continue;
        if (!out.empty() && out.back() != '\\' && out.back() != ':') out += '\\';
        out += part;
    }
    if (suffix) out += suffix;
    return out;
}
