// A small best-first search on 10 m cells over the box between two points, scoring each step by
// how much it climbs. The planner uses it to get a unit out of a blocked start. It reads only the
// ground height (through the path grid's terrain source), never the path grid.
#pragma once

struct PathResult;

constexpr float kCoarseMaxArea = 10000.0f;  // square metres

// result's first two points are the start and the goal (metres). On return its status is 0 with
// the route as its points, 1 when no route was found, or unchanged (and the result untouched)
// when the box is larger than kCoarseMaxArea.
void CoarseSearch_Run(PathResult* result);
// The cost factor of a step that climbs the rise (metres): above 100 means no step.
float CoarseSearch_StepCost(float rise);
