// gvtool's looks at the movies and the music disc.
#pragma once
#include <cstdio>
#include <string>

namespace content {

// Reads the clip with the game's reader and prints "frames=N width=W height=H rate=R
// audio=yes|no"; with outDir, writes every tenth frame there as "frameNNNN.ppm". 1 with the
// reason on error when the reader refuses the file.
int MovieTool(const std::string& file, const std::string& outDir, FILE* out, FILE* err);
// Opens dir as the disc, plays the track with force on the virtual clock and prints the tracks
// in the order they start, then "stopped".
int CdTool(const std::string& dir, int track, FILE* out, FILE* err);

}  // namespace content
