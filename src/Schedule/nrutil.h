// Numeric arrays whose indices run over any range [lo..hi], the planner's per-team grids.
//
// A vector is one zeroed block; a matrix a table of row handles, each row a zeroed block. The
// wrapper keeps lo and the block, so v[i] reaches element i for lo <= i <= hi without moving any
// pointer outside its block. A failed allocation calls NR_Error (the warning box) and gives an
// empty array, which callers treat as missing (`!v`).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "core/drdebug.h"

// "NR Util RunTime Error : [text]" in the warning box (OK goes on, Cancel ends the program).
void NR_Error(const char* text);
// Prints the text and "Error number  N" and ends the program with exit code 111.
[[noreturn]] void NR_Fatal(const char* text, int number);

template <typename T>
class NrVector {
public:
    NrVector() = default;
    NrVector(int lo, int hi, const char* failureText) {
        const long long n = static_cast<long long>(hi) - lo + 1;
        T* block = n > 0 ? static_cast<T*>(DR_RawCalloc(static_cast<size_t>(n), sizeof(T))) : nullptr;
        if (!block) {
            NR_Error(failureText);
            return;
        }
        block_ = block;
        lo_ = lo;
        hi_ = hi;
    }
    ~NrVector() { Free(); }
    NrVector(const NrVector&) = delete;
    NrVector& operator=(const NrVector&) = delete;
    NrVector(NrVector&& other) noexcept { *this = std::move(other); }
    NrVector& operator=(NrVector&& other) noexcept {
        if (this != &other) {
            Free();
            std::swap(block_, other.block_);
            lo_ = other.lo_;
            hi_ = other.hi_;
        }
        return *this;
    }

    explicit operator bool() const { return block_ != nullptr; }
    T& operator[](int i) { return block_[i - lo_]; }
    const T& operator[](int i) const { return block_[i - lo_]; }
    int Lo() const { return lo_; }
    int Hi() const { return hi_; }
    T* Data() { return block_; }  // the element at Lo()
    void Free() {
        std::free(block_);
        block_ = nullptr;
        lo_ = 0;
        hi_ = -1;
    }

private:
    T* block_ = nullptr;
    int lo_ = 0;
    int hi_ = -1;
};

// One row of a matrix, indexed by column.
template <typename T>
class NrRow {
public:
    NrRow(T* first, int clo) : first_(first), clo_(clo) {}
    T& operator[](int c) const { return first_[c - clo_]; }

private:
    T* first_;
    int clo_;
};

template <typename T>
class NrMatrix {
public:
    NrMatrix() = default;
    // Owning: a row table and one zeroed block per row.
    NrMatrix(int rlo, int rhi, int clo, int chi, const char* failure1, const char* failure2) {
        const long long rows = static_cast<long long>(rhi) - rlo + 1;
        const long long cols = static_cast<long long>(chi) - clo + 1;
        if (!MakeTable(rows, failure1)) return;
        for (long long r = 0; r < rows; ++r) {
            T* row = cols > 0 ? static_cast<T*>(DR_RawCalloc(static_cast<size_t>(cols), sizeof(T))) : nullptr;
            if (!row) {
                NR_Error(failure2);
                for (long long k = r - 1; k >= 0; --k) std::free(table_[k]);
                std::free(table_);
                table_ = nullptr;
                return;
            }
            table_[r] = row;
        }
        Set(rlo, rhi, clo, chi, true);
    }
    // A view: row handles over memory owned by someone else (submatrix, convert_matrix).
    static NrMatrix View(T* const* rowStarts, int rlo, int rhi, int clo, int chi, const char* failure) {
        NrMatrix m;
        const long long rows = static_cast<long long>(rhi) - rlo + 1;
        if (!m.MakeTable(rows, failure)) return m;
        for (long long r = 0; r < rows; ++r) m.table_[r] = rowStarts[r];
        m.Set(rlo, rhi, clo, chi, false);
        return m;
    }
    ~NrMatrix() { Free(); }
    NrMatrix(const NrMatrix&) = delete;
    NrMatrix& operator=(const NrMatrix&) = delete;
    NrMatrix(NrMatrix&& other) noexcept { *this = std::move(other); }
    NrMatrix& operator=(NrMatrix&& other) noexcept {
        if (this != &other) {
            Free();
            std::swap(table_, other.table_);
            rlo_ = other.rlo_;
            rhi_ = other.rhi_;
            clo_ = other.clo_;
            chi_ = other.chi_;
            owns_ = other.owns_;
        }
        return *this;
    }

    explicit operator bool() const { return table_ != nullptr; }
    NrRow<T> operator[](int r) const { return NrRow<T>(table_[r - rlo_], clo_); }
    // The row handles (each at its first column), RowCount() of them.
    T* const* Rows() const { return table_; }
    T* RowData(int r) const { return table_[r - rlo_]; }
    int RowLo() const { return rlo_; }
    int RowHi() const { return rhi_; }
    int ColLo() const { return clo_; }
    int ColHi() const { return chi_; }
    int RowCount() const { return rhi_ - rlo_ + 1; }
    int ColCount() const { return chi_ - clo_ + 1; }
    // Releases the rows from the last down to the first, then the row table.
    void Free() {
        if (table_ && owns_)
            for (int r = RowCount() - 1; r >= 0; --r) std::free(table_[r]);
        std::free(table_);
        table_ = nullptr;
        rlo_ = clo_ = 0;
        rhi_ = chi_ = -1;
    }

private:
    bool MakeTable(long long rows, const char* failure) {
        table_ = rows > 0 ? static_cast<T**>(DR_RawCalloc(static_cast<size_t>(rows), sizeof(T*))) : nullptr;
        if (!table_) NR_Error(failure);
        return table_ != nullptr;
    }
    void Set(int rlo, int rhi, int clo, int chi, bool owns) {
        rlo_ = rlo;
        rhi_ = rhi;
        clo_ = clo;
        chi_ = chi;
        owns_ = owns;
    }

    T** table_ = nullptr;
    int rlo_ = 0, rhi_ = -1, clo_ = 0, chi_ = -1;
    bool owns_ = true;
};

NrVector<float> NR_Vector(int lo, int hi);
NrVector<uint8_t> NR_Cvector(int lo, int hi);
NrVector<int16_t> NR_Svector(int lo, int hi);
NrVector<int32_t> NR_Ivector(int lo, int hi);
NrVector<double> NR_Dvector(int lo, int hi);
NrVector<void*> NR_ptr_vector(int lo, int hi);

NrMatrix<float> NR_Matrix(int rlo, int rhi, int clo, int chi);
NrMatrix<void*> NR_Ptr_Matrix(int rlo, int rhi, int clo, int chi);
NrMatrix<double> NR_Dmatrix(int rlo, int rhi, int clo, int chi);
NrMatrix<int32_t> NR_Imatrix(int rlo, int rhi, int clo, int chi);
NrMatrix<uint8_t> NR_Cmatrix(int rlo, int rhi, int clo, int chi);
NrMatrix<int16_t> NR_Smatrix(int rlo, int rhi, int clo, int chi);
// Rows oldrl..oldrh and columns from oldcl of a, renumbered from newrl and newcl; the view
// shares a's rows and must not outlive it.
NrMatrix<float> submatrix(const NrMatrix<float>& a, int oldrl, int oldrh, int oldcl, int newrl, int newcl);
// Row handles over a flat row-major array of (rhi - rlo + 1) x (chi - clo + 1) floats.
NrMatrix<float> convert_matrix(float* a, int rlo, int rhi, int clo, int chi);

template <typename T>
void NR_FreeVector(NrVector<T>& v) {
    v.Free();
}
template <typename T>
void NR_FreeMatrix(NrMatrix<T>& m) {
    m.Free();
}

// start, then each non-empty part after a backslash (none when the text so far is empty or
// ends in a backslash or a colon), then the suffix. Null arguments count as empty.
std::string Util_JoinPath(const char* start, const char* part1, const char* part2, const char* part3,
                          const char* suffix);
