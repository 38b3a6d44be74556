// The grassfire distance field: step distances to the nearest seed cell by a two-pass sweep
// (city-block at connectivity 4, chessboard at 8), capped at columns - 1. Opened once for the
// size of the strategic grid; every run reuses its buffers.
#pragma once
#include <cstdint>

void Grassfire_Init(int rows, int columns);
// Grids are tables of row pointers, [row][column] from 0. A seed is a cell equal to the key (or,
// with invert, one that differs). The border value stands for every cell outside the grid: the
// cap when invert and border are both zero or both set, else 0 (the edge then acts as a seed).
// Runs only while open and for the open size; otherwise reports and leaves the destination alone.
int Grassfire_Compute(int32_t* const* source, int32_t* const* destination, int key, int invert, int border,
                      int connectivity, int rows, int columns);
void Grassfire_Close();
bool Grassfire_IsOpen();
