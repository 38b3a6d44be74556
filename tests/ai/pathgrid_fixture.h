// A small hand-built terrain field for the path grid and the planner: w x d cells of 10 m from
// the origin, every vertex at one height and material unless a test changes it.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ai/pathgrid.h"

struct HandField {
    static inline int w = 0, d = 0, lava = -1;
    static inline std::vector<int> height, material;

    static int At(int x, int z) {
        x = std::clamp(x, 0, w);
        z = std::clamp(z, 0, d);
        return z * (w + 1) + x;
    }
    static int& H(int x, int z) { return height[At(x, z)]; }
    static int& M(int x, int z) { return material[At(x, z)]; }

    // Installs a field of flat ground at the given raw height as the grid's terrain.
    static void Install(int width, int depth, int ground = 1000) {
        w = width;
        d = depth;
        lava = -1;
        height.assign(static_cast<size_t>((w + 1) * (d + 1)), ground);
        material.assign(height.size(), 0);
        PathGridTerrain& t = PathGrid_Terrain();
        t.bounds = [](int* x0, int* x1, int* z0, int* z1) {
            *x0 = 0;
            *x1 = w;
            *z0 = 0;
            *z1 = d;
        };
        t.cellsPerMetre = [] { return 0.1f; };
        t.height = [](int x, int z) { return height[At(x, z)]; };
        t.material = [](int x, int z) { return material[At(x, z)]; };
        t.lava = [] { return lava; };
        t.groundHeight = [](float x, float z) {  // the nearest vertex, raw units of 0.1 m
            return 0.1f * static_cast<float>(height[At(static_cast<int>(x * 0.1f + 0.5f), static_cast<int>(z * 0.1f + 0.5f))]);
        };
    }
    // Raises the vertices of the cell rectangle [x0, x1] x [z0, z1] (inclusive) to the height.
    static void Raise(int x0, int z0, int x1, int z1, int to) {
        for (int z = z0; z <= z1; ++z)
            for (int x = x0; x <= x1; ++x) H(x, z) = to;
    }
};
