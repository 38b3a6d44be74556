#include "Schedule/regionlabel.h"

#include <vector>

namespace {

constexpr int16_t kCandidate = 2001;

struct RegionState {
    RegionStats stats[kRegionMaxLabels];
    int kept = 0;
    struct Cell {
        int r, c;
    };
    std::vector<Cell> stack;   // cells waiting to be filled, reused between runs
    std::vector<Cell> filled;  // cells of the region being filled (only when it may be erased)
};

RegionState& State() {
    static RegionState state;
    return state;
}

}  // namespace

bool RegionLabel_IsCompact(const RegionStats& s) {
    const int rowExtent = s.highRow - s.lowRow;
    const int colExtent = s.highCol - s.lowCol;
    return s.count >= 50 && s.count <= 150 && s.aspect >= 0.55f && s.aspect <= 1.7f && s.fill >= 0.65f &&
           s.fill <= 1.001f && rowExtent <= 20 && colExtent <= 20;
}

NrMatrix<int16_t> RegionLabel(const NrMatrix<int32_t>& source, int lo, int hi, bool compactOnly, int rows,
                              int columns) {
    if (!source || rows <= 0 || columns <= 0 || source.RowCount() < rows || source.ColCount() < columns) return {};
    NrMatrix<int16_t> labels = NR_Smatrix(0, rows - 1, 0, columns - 1);
    if (!labels) return labels;
    int16_t* const* out = labels.Rows();
    int32_t* const* in = source.Rows();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) out[r][c] = (in[r][c] >= lo && in[r][c] <= hi) ? kCandidate : 0;

    RegionState& st = State();
    st.kept = 0;
    int label = 1;
    for (int r0 = 0; r0 < rows; ++r0) {
        for (int c0 = 0; c0 < columns; ++c0) {
            if (out[r0][c0] != kCandidate) continue;
            RegionStats& s = st.stats[label - 1];
            s = RegionStats{};
            st.stack.clear();
            st.filled.clear();
            out[r0][c0] = static_cast<int16_t>(label);
            st.stack.push_back({r0, c0});
            while (!st.stack.empty()) {
                const RegionState::Cell cell = st.stack.back();
                st.stack.pop_back();
                if (compactOnly) st.filled.push_back(cell);
                const int r = cell.r;
                const int c = cell.c;
                ++s.count;
                if (r < s.lowRow) s.lowRow = r;
                if (r > s.highRow) s.highRow = r;
                if (c < s.lowCol) s.lowCol = c;
                if (c > s.highCol) s.highCol = c;
                s.rowSum += r;
                s.colSum += c;
                // Left, up, right, down; a cell is labelled as it is pushed, so it is pushed once.
                if (c > 0 && out[r][c - 1] == kCandidate) {
                    out[r][c - 1] = static_cast<int16_t>(label);
                    st.stack.push_back({r, c - 1});
                }
                if (r > 0 && out[r - 1][c] == kCandidate) {
                    out[r - 1][c] = static_cast<int16_t>(label);
                    st.stack.push_back({r - 1, c});
                }
                if (c + 1 < columns && out[r][c + 1] == kCandidate) {
                    out[r][c + 1] = static_cast<int16_t>(label);
                    st.stack.push_back({r, c + 1});
                }
                if (r + 1 < rows && out[r + 1][c] == kCandidate) {
                    out[r + 1][c] = static_cast<int16_t>(label);
                    st.stack.push_back({r + 1, c});
                }
            }
            const int rowSpan = s.highRow - s.lowRow + 1;
            const int colSpan = s.highCol - s.lowCol + 1;
            s.aspect = static_cast<float>(rowSpan) / static_cast<float>(colSpan);
            s.meanRow = static_cast<float>(s.rowSum) / static_cast<float>(s.count);
            s.meanCol = static_cast<float>(s.colSum) / static_cast<float>(s.count);
            if (rowSpan * colSpan > 1) s.fill = static_cast<float>(s.count) / static_cast<float>(rowSpan * colSpan);
            if (!compactOnly || RegionLabel_IsCompact(s)) {
                ++st.kept;
                // Past 2000 the labels start again at 1, and so does the statistics entry.
                label = label >= kRegionMaxLabels ? 1 : label + 1;
            } else {
                for (const RegionState::Cell& cell : st.filled) out[cell.r][cell.c] = 0;
            }
        }
    }
    return labels;
}

const RegionStats* RegionLabel_Stats(int label) {
    if (label < 1 || label > kRegionMaxLabels) return nullptr;
    return &State().stats[label - 1];
}

int RegionLabel_Count() { return State().kept; }

void RegionLabel_Reset() {
    RegionState& st = State();
    for (RegionStats& s : st.stats) s = RegionStats{};
    st.kept = 0;
    st.stack.clear();
    st.filled.clear();
}
