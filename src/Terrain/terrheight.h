// Height, normal and ray queries over the terrain's height field. World coordinates are metres;
// a cell (i, k) is split along its diagonal from vertex (i, k) to (i + 1, k + 1) into triangle A
// (where the fraction in z is not above the fraction in x) and triangle B (the other half).
//
// Positions beyond the block tables (cells -3072..13311) are clamped to their edge; callers keep
// to Terrain_InBounds for meaningful answers. The ray and line casts clip to TerrainBounds.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

// The 12-bit height (0.1 m units) of the vertex at cell indices (x, z); arguments in (z, x) order.
int Terrain_GetHeightRaw(int z, int x);

float Terrain_GetHeight(double x, double z);
// out = the unit normal of the triangle under (x, z); returns out.
Vector& Terrain_GetNormal(Vector& out, double x, double z);
// Fills whichever of height and normal is given.
void Terrain_GetHeightNormal(double x, double z, float* height, Vector* normal);
// 1 when the nearest vertex lies in -3071..13310 on both axes and is not (0, 0).
int Terrain_InBounds(double x, double z);

// The segment from the origin to origin + t d against the surface (faces seen from below are
// never hit). On a hit t becomes the hit's parameter, normal (when given) the face's unit
// normal, and 1 is returned.
int Terrain_RayCast(double ox, double oy, double oz, float dx, float dy, float dz, float* t, Vector* normal);
// The same walk over cells with the caller's test; a blocking cell lowers t to where the
// segment enters it and returns 1.
using TerrainCellTest = int (*)(int cellX, int cellZ);
int Terrain_LineCast(double ox, double oy, double oz, float dx, float dy, float dz, TerrainCellTest test, float* t);
// The triangle test of one cell, all in cell units (origin and direction scaled by 0.1).
int Terrain_RayCastCell(int i, int k, double ox, double oy, double oz, double dx, double dy, double dz, float* t,
                        Vector* normal);
// The clip code of a cell against TerrainBounds: 8 x below min, 4 x above max, 2 z below min,
// 1 z above max.
int Terrain_ClipCode(int x, int z);

// Cell accessors (cell indices).
int Terrain_GetCellValue(int x, int z);       // raw height
float Terrain_GetHeightCells(int x, int z);   // raw height x 0.01
int Terrain_GetCellClass(int x, int z);       // texture type, material bits 12-15
int Terrain_GetTextureType(double x, double z);  // at the nearest vertex
uint8_t Terrain_GetLight(double x, double z);    // light byte at the nearest vertex
uint8_t Terrain_GetCellLight(int x, int z);

// The 3 x 3 vertices (x, height, z) row-major by z, from the even vertex under the point.
void Terrain_GetVertexPatch(Vector out[9], double x, double z);
// The same from one vertex below the nearest vertex.
void Terrain_GetVertexPatchAround(Vector out[9], double x, double z);
// The even vertex under the point: (round(0.1 x), round(0.1 z)) with bit 0 cleared.
void Terrain_GetEvenCell(int out[2], double x, double z);
