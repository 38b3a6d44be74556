#include "Schedule/grassfire.h"

#include <algorithm>
#include <vector>

#include "Schedule/nrutil.h"
#include "Schedule/plannerlog.h"
#include "core/drdebug.h"

#define DR_SOURCE_NAME "Schedule/grassfire"

namespace {

struct GrassfireState {
    bool grassfire_initialised = false;
    int rows = 0;
    int columns = 0;
    NrMatrix<int32_t> work;
    std::vector<int32_t> lineA;  // columns + 2: one spare cell at each end
    std::vector<int32_t> lineB;
};

GrassfireState& State() {
    static GrassfireState state;
    return state;
}

void Release(GrassfireState& s) {
    s.work.Free();
    s.lineA.clear();
    s.lineB.clear();
    s.lineA.shrink_to_fit();
    s.lineB.shrink_to_fit();
}

}  // namespace

void Grassfire_Init(int rows, int columns) {
    GrassfireState& s = State();
    DR_Assert(!s.grassfire_initialised, __LINE__, DR_SOURCE_NAME, "!grassfire_initialised");
    if (s.grassfire_initialised) Release(s);
    s.rows = rows;
    s.columns = columns;
    s.grassfire_initialised = true;
    if (rows <= 0 || columns <= 0) return;
    s.work = NR_Imatrix(0, rows - 1, 0, columns - 1);
    s.lineA.assign(static_cast<size_t>(columns) + 2, 0);
    s.lineB.assign(static_cast<size_t>(columns) + 2, 0);
}

int Grassfire_Compute(int32_t* const* source, int32_t* const* destination, int key, int invert, int border,
                      int connectivity, int rows, int columns) {
    GrassfireState& s = State();
    DR_Assert(s.grassfire_initialised, __LINE__, DR_SOURCE_NAME, "grassfire_initialised");
    if (!s.grassfire_initialised) return 0;
    if (rows != s.rows || columns != s.columns) {
        DR_ASSERT(1 == 0);
        return 0;
    }
    if (!s.work || !source || !destination) return 0;

    const int32_t limit = columns - 1;
    const int32_t edge = ((invert == 0) == (border == 0)) ? limit : 0;
    const bool eight = connectivity == 8;
    int32_t* const* work = s.work.Rows();
    int32_t* above = s.lineA.data();
    int32_t* line = s.lineB.data();

    // Forward: from the top-left, each cell from its left and upper neighbours.
    std::fill(s.lineA.begin(), s.lineA.end(), edge);
    line[0] = edge;
    line[columns + 1] = edge;
    for (int r = 0; r < rows; ++r) {
        const int32_t* in = source[r];
        int32_t* out = work[r];
        for (int c = 0; c < columns; ++c) {
            const bool seed = invert == 0 ? in[c] == key : in[c] != key;
            int32_t d = 0;
            if (!seed) {
                d = std::min(line[c], above[c + 1]);
                if (eight) d = std::min(d, std::min(above[c], above[c + 2]));
                d = std::min(d + 1, limit);
            }
            line[c + 1] = d;
            out[c] = d;
        }
        std::swap(above, line);
        line[0] = edge;
        line[columns + 1] = edge;
    }

    // Backward: from the bottom-right, each cell also from its right and lower neighbours.
    int32_t* below = above;
    std::fill(below, below + columns + 2, edge);
    line[0] = edge;
    line[columns + 1] = edge;
    for (int r = rows - 1; r >= 0; --r) {
        const int32_t* forward = work[r];
        int32_t* out = destination[r];
        for (int c = columns - 1; c >= 0; --c) {
            int32_t d = forward[c];
            if (d != 0) {
                int32_t n = std::min(line[c + 2], below[c + 1]);
                if (eight) n = std::min(n, std::min(below[c + 2], below[c]));
                d = std::min(d, std::min(n + 1, limit));
            }
            line[c + 1] = d;
            out[c] = d;
        }
        std::swap(below, line);
        line[0] = edge;
        line[columns + 1] = edge;
    }
    return 0;
}

void Grassfire_Close() {
    GrassfireState& s = State();
    if (!s.grassfire_initialised) {
        PlannerLog_Printf(kPlannerLogErrors, "Grassfire Closed without matching open.");
        return;
    }
    s.grassfire_initialised = false;
    Release(s);
}

bool Grassfire_IsOpen() { return State().grassfire_initialised; }
