// The cockpit display's sprites on one page of their own ("cockpit"): the status panel and its
// gauges, mount and weapon icons, reticles and the pitch ladder, marker brackets and carets with
// their colour variants, health bars, the radar frame, icons, numbers, ping frames and compass
// letters.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "sprite_writer.h"

namespace content {

// Appends the records and the page; nearest(r, g, b) is the world palette's nearest index.
void AppendCockpitSprites(std::vector<SpriteRecordSpec>& records, std::vector<NamedFile>& files,
                          const std::function<uint8_t(int, int, int)>& nearest);

}  // namespace content
