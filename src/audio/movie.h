// The intro, outro and credits movies, played full-window into the game window by the movie
// device (platform/movie.h); the end notice closes them, Escape closes them early.
#pragma once
#include <cstdint>

#include "platform/window.h"

int movie_driver_open();  // 1 when the device is there
void movie_driver_close();
// Opens the clip name, looked for in "kolta\movie" on the disc, then "movie" on the disc, then
// "movie" under the data root; a file the reader refuses counts as not found there. 1 when open.
int movie_open(const char* name);
// Plays into the rectangle of the game window (mode 0 or 1 with the end notice); 1 on success.
int movie_play(int mode, const PlatRect* rect);
void movie_close();
void movie_on_notify(uint32_t code, uint32_t device);
bool movie_is_playing();
// The clip plays once more at its end notice.
void movie_set_replay(bool replay);

// An intro on the disc no larger than this is not played.
constexpr uint64_t kMovieDiscIntroMinBytes = 16999999;

// What tests look at: the device of the open movie (0 none) and the path it was opened from.
uint32_t Movie_Device();
const char* Movie_OpenedPath();
void Movie_Reset();
