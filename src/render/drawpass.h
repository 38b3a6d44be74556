// Entity draw passes: each drawn frame the entity layer walks the world table and hands every
// visible entity to the render queue as an item (kinds 4 to 7 of RenderEntityPayload); the
// queue's flush draws them back to front through Entity_RenderItem.
//
// The main pass culls by distance and view, orders by distance, chooses detail flags for the
// 128 nearest records and may merge overlapping static neighbours into clusters; smaller passes
// serve the cockpit's secondary views. A separate pass tiles the shadow group's pattern around
// the view, and entities get ground shadows from "shadow.map".
#pragma once
#include <cstdint>

#include "Objkr/entity.h"

struct RenderView;
struct RenderEntityPayload;

// What the drawing asks of lights, the terrain and the cockpit before their owners fill it in.
struct DrawServices {
    void (*lightCollectVisible)(const RenderView* view);
    void (*lightSelectForObject)(Entity* entity);
    // Whether the cockpit's selection test passes for the object owning the tree.
    bool (*ownerSelected)(void* owner);
    // The terrain zone under a point: the pattern's geometry level, whether it shows the
    // pattern, its draw flags and the reference height.
    int (*zoneLevel)(double x, double z);
    bool (*zoneAllowsPattern)(double x, double z);
    uint32_t (*zoneFlags)(double x, double z);
    float (*zoneReferenceHeight)(double x, double z);
    float (*terrainHeight)(double x, double z);
};
DrawServices& Draw_Services();
void Draw_ResetServices();

// The renderer's part of the entity layer's settings: the "LODInfo" thresholds of the render
// queue (detail sizes, count and distance limits, the dot subdivision depth).
void RenderSettings_TakeLodInfo();
// Fills the world seam's animation, BSP-cache and draw-pass entries (start-up).
void Render_InstallEntityDrawing();

constexpr int kDrawListMax = 768;
constexpr int kDetailRecords = 128;
constexpr int kClusterMaxMembers = 10;
constexpr int kDrawLinkCluster = 0;  // the record's draw link that chains cluster members
constexpr uint32_t kClusterMember = 0x8000;
constexpr uint32_t kPartiallyVisible = 0x100;
// The flags of records past the 128 nearest: level 2, cached tree, one light value, no
// ground shadow.
constexpr uint32_t kFarDetailFlags = 0x3C;
// The hint of a queued face of the shadow pattern (record: the face; position: the tile's
// world offset; extra: the geometry level it was chosen at).
constexpr uint32_t kPayloadPatternFace = 2;
constexpr float kPatternCell = 100.0f;
constexpr const char* kShadowTextureName = "shadow.map";

// The main pass; the excluded record (the user's own entity in the cockpit) is skipped.
void Entities_DrawWorld(const RenderView* view, EntityTableRecord* excluded);
void Entities_DrawPanelView(const RenderView* view, EntityTableRecord* excluded);
void Entities_DrawSelected(const RenderView* view);
void Entities_DrawOther(const RenderView* view, EntityTableRecord* record);
// Draws one record at once (not through the queue) when the display's option is set or the
// entity is a person.
void Entities_DrawSingle(const RenderView* view, EntityTableRecord* record);

// Detail flags of one record at a scale (view depth per pixel of projection), a squared
// distance and a place in the distance order. A bit is set (less detail) when the record's
// radius is at most its size times the scale, or the place reaches the group's count limit, or
// the distance its distance limit: 0x2B by the smaller of the first two sizes, 0x09 by the
// first, 0x04, 0x08 and 0x10 by fixed sizes, 0x20 by the third. The sizes are the record's own
// (the first three floats of its extra data, each below 10000) or the renderer's defaults.
uint32_t Entities_DetailFlags(const EntityTableRecord* record, float scale, int64_t squaredDistance, int position);

// The shadow group's pattern, the ground shadow and its texture.
void Shadows_Load();
void Shadows_Free();
void Shadows_Draw(const RenderView* view);
void Shadows_DrawPatternFace(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
void Entity_DrawGroundShadow(EntityTableRecord* record, const RenderView* view);
// The pattern's origin (multiples of 100 on x and z); false before the first pattern draw.
bool Shadows_PatternOrigin(float* x, float* z);
void Shadows_Reset();

// Where the segment from `from` along `direction` (128 of its lengths) meets the terrain, by
// halving until the height difference is below 0.2 (10 halvings at most). Returns the number
// of halvings taken, -1 when the segment does not cross the ground.
int Terrain_FindCrossing(const DVector& from, const Vector& direction, DVector* out);
