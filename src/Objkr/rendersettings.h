// The renderer values the entity layer's drawing reads, kept in one record.
//
// The renderer fills what it owns (the level-of-detail thresholds of "LODInfo" in "render.cfg",
// RenderSettings_TakeLodInfo in render/drawpass); the rest are documented defaults.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

// Detail groups of the draw flags, in the order of the threshold arrays.
enum DetailGroup : int {
    kDetailGroup2B = 0,  // flags 0x2B, by the smaller of the first two sizes
    kDetailGroup09,      // flags 0x09, by the first size
    kDetailGroup04,      // flag 0x04, by a fixed size
    kDetailGroup08,      // flag 0x08, by a fixed size
    kDetailGroup10,      // flag 0x10, by a fixed size
    kDetailGroup20,      // flag 0x20, by the third size
    kDetailGroupCount
};

constexpr int kFaceFlagTableSize = 16;

struct RenderSettings {
    int32_t displayMode;    // 0, 1 or 2: how the main pass chooses detail flags (default 1)
    int32_t bspCache;       // nonzero: queued entities draw through their cached trees (1)
    int32_t sortOption;     // nonzero: nodes are sorted by plane; zero chains them in order (1)
    int32_t dotMode;        // nonzero: faces are drawn as 2 x 2 dots (0)
    int32_t dotDepth;       // subdivision depth of the dots (the "subdivideDepth" of LODInfo)
    int32_t cluster;        // nonzero: overlapping static neighbours merge into one item (0)
    int32_t clusterBox;     // nonzero: a cluster leader's box grows by its members (0)
    int32_t shadowPattern;  // nonzero: the shadow group's pattern is drawn (1)
    int32_t distantDetail;  // zero adds flag 0x20 (no ground shadow) to every near record (1)
    int32_t detailDynamic;  // detail option of dynamic entities (1)
    int32_t detailStatic;   // detail option of other entities (1)
    int32_t drawSingle;     // Entities_DrawSingle draws when set (1): below 2 selects flag 1
    int32_t paletteMode;    // nonzero: 8-bit palette drawing (1)
    float fadeFactor;       // light of the near-zone single-value shading (1.0)
    float ambient;          // share of the light every face gets (0.35)
    float intensity;        // overall light (1.0)
    Vector lightDirection;  // world direction the light travels (down and across)
    int32_t fogMode;        // nonzero: vertices brighten towards the fog with distance (0)
    float fogStart;         // depth where the distance factor starts to change (400)
    float fogEnd;           // depth where it is complete (1200)
    float nearZoneLimit;    // ground distance within which records get flag 0x40 (0: none)
    float defaultSizes[3];  // detail sizes of records without their own (extra data)
    float fixedSizes[3];    // sizes of the flags 0x04, 0x08, 0x10
    int32_t countLimits[kDetailGroupCount];
    float distanceLimits[kDetailGroupCount];
    uint32_t faceFlags[kFaceFlagTableSize];  // draw flags by the face's kept bytes (first byte)
};

RenderSettings& Render_Settings();
// The documented defaults.
void RenderSettings_Reset();
// The defaults at a mission's start, except the world's light (ambient, intensity, light
// direction, fog), which the map loaded just before has published and which its view set
// publishes again only when the view changes.
void RenderSettings_ResetKeepingWorldLight();

// The vertex distance factor at a view depth: the fog fraction in fog mode (0 near, 1 far),
// else the attenuation (1 near; nothing fades without fog).
float RenderSettings_DistanceFactor(float depth);
// The draw flags of a face from its three kept bytes (0x80 added when the third is set).
uint32_t RenderSettings_FaceFlags(const uint8_t kept[3]);
