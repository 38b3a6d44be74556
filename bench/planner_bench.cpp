// The planner's grid work on a 256 x 256 grid with a fixed, seeded pattern, each beside a
// textbook reference measured in the same run; the results are compared once and must agree.
//
// BM_Grassfire/4 and /8: Grassfire_Compute against a multi-source breadth-first search (a queue)
// computing the same capped distances. Counters: cells_per_s (the sweep) and vs_bfs (sweep time
// over search time).
// BM_RegionLabel: RegionLabel over seeded blobs (all regions kept) against a two-pass union-find
// labelling with 4-neighbours, relabelled in scan order. Counters: cells_per_s and vs_unionfind.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "Schedule/grassfire.h"
#include "Schedule/nrutil.h"
#include "Schedule/regionlabel.h"

namespace {

constexpr int kSide = 256;
constexpr int kCells = kSide * kSide;

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Seeds (value 1) scattered over the grid, about one cell in 400.
NrMatrix<int32_t> SeedPattern() {
    NrMatrix<int32_t> grid = NR_Imatrix(0, kSide - 1, 0, kSide - 1);
    std::mt19937 random(1211u);
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) grid[r][c] = random() % 400 == 0 ? 1 : 0;
    return grid;
}

// Breadth-first distances from every seed, capped at kSide - 1 (cells never reached keep the
// cap, as the sweep's border value gives them).
void Bfs(const NrMatrix<int32_t>& source, bool eight, std::vector<int32_t>& dist, std::vector<int32_t>& queue) {
    const int32_t limit = kSide - 1;
    dist.assign(kCells, limit);
    queue.clear();
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            if (source[r][c] == 1) {
                dist[static_cast<size_t>(r * kSide + c)] = 0;
                queue.push_back(r * kSide + c);
            }
    static const int dr[8] = {0, -1, 0, 1, -1, -1, 1, 1};
    static const int dc[8] = {-1, 0, 1, 0, -1, 1, -1, 1};
    const int steps = eight ? 8 : 4;
    for (size_t head = 0; head < queue.size(); ++head) {
        const int cell = queue[head];
        const int32_t next = dist[static_cast<size_t>(cell)] + 1;
        if (next >= limit) continue;
        const int r = cell / kSide, c = cell % kSide;
        for (int k = 0; k < steps; ++k) {
            const int nr = r + dr[k], nc = c + dc[k];
            if (nr < 0 || nr >= kSide || nc < 0 || nc >= kSide) continue;
            int32_t& d = dist[static_cast<size_t>(nr * kSide + nc)];
            if (d <= next) continue;
            d = next;
            queue.push_back(nr * kSide + nc);
        }
    }
}

void BM_Grassfire(benchmark::State& state) {
    const int connectivity = static_cast<int>(state.range(0));
    NrMatrix<int32_t> source = SeedPattern();
    NrMatrix<int32_t> out = NR_Imatrix(0, kSide - 1, 0, kSide - 1);
    std::vector<int32_t> dist, queue;
    queue.reserve(kCells);
    Grassfire_Init(kSide, kSide);

    Grassfire_Compute(source.Rows(), out.Rows(), 1, 0, 0, connectivity, kSide, kSide);
    Bfs(source, connectivity == 8, dist, queue);
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            if (out[r][c] != dist[static_cast<size_t>(r * kSide + c)]) {
                state.SkipWithError("grassfire and breadth-first distances differ");
                Grassfire_Close();
                return;
            }

    double sweep = 0.0, search = 0.0;
    int64_t runs = 0;
    for (auto _ : state) {
        const auto a = std::chrono::steady_clock::now();
        Grassfire_Compute(source.Rows(), out.Rows(), 1, 0, 0, connectivity, kSide, kSide);
        benchmark::DoNotOptimize(out.RowData(kSide / 2)[kSide / 2]);
        const auto b = std::chrono::steady_clock::now();
        Bfs(source, connectivity == 8, dist, queue);
        benchmark::DoNotOptimize(dist.data());
        const auto c = std::chrono::steady_clock::now();
        sweep += Seconds(a, b);
        search += Seconds(b, c);
        ++runs;
    }
    Grassfire_Close();
    state.counters["cells_per_s"] = sweep > 0.0 ? static_cast<double>(runs) * kCells / sweep : 0.0;
    state.counters["vs_bfs"] = search > 0.0 ? sweep / search : 0.0;
}
BENCHMARK(BM_Grassfire)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

// Seeded blobs: discs of radius 2 to 7 at random places, value 1 on a field of 0.
NrMatrix<int32_t> BlobPattern() {
    NrMatrix<int32_t> grid = NR_Imatrix(0, kSide - 1, 0, kSide - 1);
    std::mt19937 random(71u);
    for (int n = 0; n < 700; ++n) {
        const int cr = static_cast<int>(random() % kSide), cc = static_cast<int>(random() % kSide);
        const int radius = 2 + static_cast<int>(random() % 6);
        for (int r = cr - radius; r <= cr + radius; ++r)
            for (int c = cc - radius; c <= cc + radius; ++c)
                if (r >= 0 && r < kSide && c >= 0 && c < kSide && (r - cr) * (r - cr) + (c - cc) * (c - cc) <= radius * radius)
                    grid[r][c] = 1;
    }
    return grid;
}

int Find(std::vector<int>& parent, int x) {
    while (parent[static_cast<size_t>(x)] != x) {
        parent[static_cast<size_t>(x)] = parent[static_cast<size_t>(parent[static_cast<size_t>(x)])];
        x = parent[static_cast<size_t>(x)];
    }
    return x;
}

// Two-pass union-find with 4-neighbours; labels renumbered 1.. in the order regions are first met.
void UnionFind(const NrMatrix<int32_t>& source, std::vector<int>& labels, std::vector<int>& parent,
               std::vector<int>& renumber) {
    labels.assign(kCells, 0);
    parent.assign(1, 0);
    for (int r = 0; r < kSide; ++r) {
        const int32_t* row = source.RowData(r);
        for (int c = 0; c < kSide; ++c) {
            if (row[c] != 1) continue;
            const int i = r * kSide + c;
            const int left = c > 0 ? labels[static_cast<size_t>(i - 1)] : 0;
            const int up = r > 0 ? labels[static_cast<size_t>(i - kSide)] : 0;
            if (!left && !up) {
                const int fresh = static_cast<int>(parent.size());
                parent.push_back(fresh);
                labels[static_cast<size_t>(i)] = fresh;
            } else if (left && up) {
                const int a = Find(parent, left), b = Find(parent, up);
                labels[static_cast<size_t>(i)] = std::min(a, b);
                parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
            } else {
                labels[static_cast<size_t>(i)] = left ? left : up;
            }
        }
    }
    renumber.assign(parent.size(), 0);
    int next = 1;
    for (int& l : labels) {
        if (!l) continue;
        const int root = Find(parent, l);
        if (!renumber[static_cast<size_t>(root)]) renumber[static_cast<size_t>(root)] = next++;
        l = renumber[static_cast<size_t>(root)];
    }
}

void BM_RegionLabel(benchmark::State& state) {
    NrMatrix<int32_t> source = BlobPattern();
    std::vector<int> labels, parent, renumber;
    {
        NrMatrix<int16_t> ours = RegionLabel(source, 1, 1, false, kSide, kSide);
        UnionFind(source, labels, parent, renumber);
        const int regions = RegionLabel_Count();
        if (regions >= 2000) {
            state.SkipWithError("the pattern has 2000 regions or more");
            return;
        }
        for (int r = 0; r < kSide; ++r)
            for (int c = 0; c < kSide; ++c)
                if (ours[r][c] != labels[static_cast<size_t>(r * kSide + c)]) {
                    state.SkipWithError("region labelling and union-find partitions differ");
                    return;
                }
        state.counters["regions"] = regions;
    }
    double labelling = 0.0, reference = 0.0;
    int64_t runs = 0;
    for (auto _ : state) {
        const auto a = std::chrono::steady_clock::now();
        NrMatrix<int16_t> ours = RegionLabel(source, 1, 1, false, kSide, kSide);
        benchmark::DoNotOptimize(ours.RowData(0));
        const auto b = std::chrono::steady_clock::now();
        UnionFind(source, labels, parent, renumber);
        benchmark::DoNotOptimize(labels.data());
        const auto c = std::chrono::steady_clock::now();
        labelling += Seconds(a, b);
        reference += Seconds(b, c);
        ++runs;
    }
    state.counters["cells_per_s"] = labelling > 0.0 ? static_cast<double>(runs) * kCells / labelling : 0.0;
    state.counters["vs_unionfind"] = reference > 0.0 ? labelling / reference : 0.0;
}
BENCHMARK(BM_RegionLabel)->Unit(benchmark::kMicrosecond);

}  // namespace
