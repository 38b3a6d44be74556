#include "ai/coarsesearch.h"

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "ai/pathgrid.h"
#include "ai/pathplanner.h"

namespace {

struct CoarseCell;
using OpenSet = std::multimap<float, CoarseCell*>;  // equal keys go after the ones present

struct CoarseCell {
    float x, z;
    int column, row;
    bool seen = false, inOpen = false;
    float g = -1.0f;
    CoarseCell* next = nullptr;
    float stepCost = 1.0f;
    float h = 0.0f;
    OpenSet::iterator entry;
};

float Distance(float ax, float az, float bx, float bz) { return std::hypot(bx - ax, bz - az); }

}  // namespace

float CoarseSearch_StepCost(float rise) {
    if (rise < 3.0f) return 1.0f;
    if (rise > 20.0f) return 1000.0f;
    if (rise < 7.0f) return 2.0f;
    return 5.0f;
}

void CoarseSearch_Run(PathResult* result) {
    if (!result || result->points.size() < 2) return;
    const PathPoint start = result->points[0], goal = result->points[1];
    if (std::fabs(goal.x - start.x) * std::fabs(goal.z - start.z) > kCoarseMaxArea) return;
    result->status = kPathCoarse;

    const float minX = std::fmin(start.x, goal.x), maxX = std::fmax(start.x, goal.x);
    const float minZ = std::fmin(start.z, goal.z), maxZ = std::fmax(start.z, goal.z);
    const float originX = std::floor((minX - 0.01f) * 0.1f) * 10.0f;
    const float originZ = std::floor((minZ - 0.01f) * 0.1f) * 10.0f;
    const int width = static_cast<int>(std::ceil((maxX + 0.01f - originX) * 0.1f));
    const int height = static_cast<int>(std::ceil((maxZ + 0.01f - originZ) * 0.1f));
    const int stepX = start.x > goal.x ? -1 : 1, stepZ = start.z > goal.z ? -1 : 1;
    std::vector<std::unique_ptr<CoarseCell>> table(static_cast<size_t>(width) * static_cast<size_t>(height));
    auto cell = [&](int column, int row) {
        auto& slot = table[static_cast<size_t>(column + row * width)];
        if (!slot) {
            slot = std::make_unique<CoarseCell>();
            slot->column = column;
            slot->row = row;
            slot->x = originX + 10.0f * column + 5.0f;
            slot->z = originZ + 10.0f * row + 5.0f;
        }
        return slot.get();
    };
    auto columnOf = [&](float x) { return static_cast<int>(std::floor((x - originX) * 0.1f)); };
    auto rowOf = [&](float z) { return static_cast<int>(std::floor((z - originZ) * 0.1f)); };

    CoarseCell* first = cell(columnOf(start.x), rowOf(start.z));
    CoarseCell* last = cell(columnOf(goal.x), rowOf(goal.z));
    auto finish = [&](std::deque<PathPoint> points) {
        result->points = std::move(points);
        result->status = 0;
        result->lastX = result->points.back().x;
        result->lastZ = result->points.back().z;
    };
    if (first == last) {
        finish({start, goal});
        return;
    }
    first->x = start.x;
    first->z = start.z;
    last->x = goal.x;
    last->z = goal.z;

    OpenSet open;
    auto enter = [&](CoarseCell* c, float g, float h) {
        c->h = h;
        c->entry = open.emplace(g + h, c);
        c->inOpen = true;
    };
    first->g = 0.0f;
    first->seen = true;
    enter(first, 0.0f, Distance(start.x, start.z, goal.x, goal.z));
    bool reached = false;
    while (!open.empty()) {
        CoarseCell* current = open.begin()->second;
        open.erase(open.begin());
        current->inOpen = false;
        if (current == last) {
            reached = true;
            break;
        }
        const int moves[3][2] = {{stepX, 0}, {0, stepZ}, {stepX, stepZ}};
        for (const auto& m : moves) {
            const int column = current->column + m[0], row = current->row + m[1];
            if (column < 0 || row < 0 || column >= width || row >= height) continue;
            CoarseCell* n = cell(column, row);
            const PathGridTerrain& terrain = PathGrid_Terrain();
            n->stepCost = CoarseSearch_StepCost(terrain.groundHeight(n->x, n->z) -
                                                terrain.groundHeight(current->x, current->z));
            if (n->stepCost > 100.0f) continue;
            const float t = current->g + Distance(current->x, current->z, n->x, n->z) * n->stepCost;
            const float h = Distance(n->x, n->z, goal.x, goal.z);
            if (n->seen) {
                if (!(t < n->g)) continue;
                n->g = t;
                n->next = current;
                if (n->inOpen) {
                    open.erase(n->entry);
                    enter(n, t, n->h);
                } else {
                    enter(n, t, h);
                }
            } else {
                n->seen = true;
                n->g = t;
                n->next = current;
                enter(n, t, h);
            }
        }
    }
    if (!reached) {
        result->status = kPathFailed;
        return;
    }
    std::deque<PathPoint> points;
    for (CoarseCell* c = last; c; c = c->next) points.push_front(PathPoint{c->x, c->z, nullptr, 0});
    points.front().x = start.x;
    points.front().z = start.z;
    finish(std::move(points));
}
