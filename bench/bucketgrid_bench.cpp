// One frame of the object bucket grid: 512 objects over a 2560 m map in cells of 256 m, the
// grid refilled and every object asking for its neighbours.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Objkr/bucketgrid.h"

namespace {

struct Point {
    double x, z;
};

std::vector<Point> Positions(int count) {
    // A fixed scatter (a small linear congruential sequence) so that runs compare.
    std::vector<Point> points;
    uint32_t s = 12345;
    for (int i = 0; i < count; ++i) {
        s = s * 1103515245u + 12345u;
        double x = double((s >> 8) % 2560000) / 1000.0;
        s = s * 1103515245u + 12345u;
        double z = double((s >> 8) % 2560000) / 1000.0;
        points.push_back(Point{x, z});
    }
    return points;
}

void BM_BucketGridFillAndQuery(benchmark::State& state) {
    const int objects = 512;
    const double radius = double(state.range(0));
    BucketGrid grid(256.0, 256.0, 0.0, 2560.0, 0.0, 2560.0, 768);
    std::vector<Point> points = Positions(objects);
    for (auto _ : state) {
        grid.Clear();
        for (int i = 0; i < objects; ++i) grid.Insert(uint32_t(i + 1), points[i].x, points[i].z);
        grid.EndFill();
        uint64_t found = 0;
        for (const Point& p : points) {
            BucketGridQuery q;
            grid.Query(p.x, p.z, radius, &q);
            const BucketGridEntry* e = nullptr;
            while (q.Next(&e)) found += e->value;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * objects);
    grid.Free();
}
BENCHMARK(BM_BucketGridFillAndQuery)->Arg(0)->Arg(100)->Arg(300);

void BM_BucketGridFillOnly(benchmark::State& state) {
    const int objects = 512;
    BucketGrid grid(256.0, 256.0, 0.0, 2560.0, 0.0, 2560.0, 768);
    std::vector<Point> points = Positions(objects);
    for (auto _ : state) {
        grid.Clear();
        for (int i = 0; i < objects; ++i) grid.Insert(uint32_t(i + 1), points[i].x, points[i].z);
        grid.EndFill();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * objects);
    grid.Free();
}
BENCHMARK(BM_BucketGridFillOnly);

}  // namespace
