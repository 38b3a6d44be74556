// The scrap and pilot counters at the top left: current and capacity of the user's team, each
// with its icon over a panel background (the backgrounds only on screens wider than 400).
#pragma once
#include <cstddef>
#include <cstdint>

#include "interface/hudelement.h"

class TeamRecord;

class ResourcePanel : public HudElement {
public:
    ResourcePanel();
    void Init() override;
    void Draw() override;
    void PlaceLayers();  // layers 0, 1, 2, 3 and 7 at priority 2

    int scrapIcon = 0, scrapPanel = 0, pilotIcon = 0, pilotPanel = 0;
};

// What the counters reach of the renderer and the teams; tests replace entries.
struct ResourcePanelServices {
    TeamRecord* (*team)();  // the user's team record; null draws nothing
    void (*drawSprite)(GraphicBuffer* buffer, int sprite, int x, int y, int mode, float depthRaise);
    void (*drawText)(GraphicBuffer* buffer, int x, int y, const char* text, int colour);
    // The colour of the single-colour sprite draw (mode 5) that follows.
    void (*setIconColour)(int colour);
};
ResourcePanelServices& ResourcePanel_Services();
ResourcePanel& ResourcePanel_Instance();
// "current/capacity", at least two digits each, larger counts in full.
void ResourcePanel_Format(char* out, size_t size, int32_t current, int32_t capacity);
void ResourcePanel_Register(ResourcePanel* panel);  // the built instance (Hud_CreateElements)
void ResourcePanel_Reset();  // the services back, the element in its layers (tests)
