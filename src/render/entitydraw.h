// Entity geometry drawing: a queued entity's faces sorted by its BSP tree (Objkr/bspcache) and
// filled back to front with Render_DrawPolygon, lit per vertex; dot mode; special parts drawn
// as sub-models with their current placement. The render queue's flush calls these.
#pragma once
#include <cstdint>

#include "Objkr/bspcache.h"

struct RenderView;
struct RenderEntityPayload;

// Draws one queued entity: its ground shadow (unless flag 0x20), then its tree back to front.
void Entity_RenderItem(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
// Draws only the entity's own current geometry.
void Entity_RenderGeometry(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
// Draws the whole tree through a tree made for this draw only.
void Entity_DrawDirect(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);

// Light values of a geometry's vertices for a light direction in the geometry's frame.
// viewPositions: the vertices in view space (their depth gives the distance factor), or null;
// out: one value per vertex.
void Entity_ShadeVertices(const Geometry* geometry, const Vector& lightInPart, uint32_t itemFlags,
                          const Vector* viewPositions, float* out);
// The one value of a vertex with normal n (used by Entity_ShadeVertices).
float Entity_ShadeValue(const Vector& normal, const Vector& light, uint32_t itemFlags, float depth);
