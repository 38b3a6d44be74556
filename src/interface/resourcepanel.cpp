#include "interface/resourcepanel.h"

#include <cstdio>

#include "fun3d/gameobject.h"
#include "fun3d/teamrecord.h"
#include "interface/hudbasic.h"
#include "interface/hudcolors.h"
#include "render/blit.h"
#include "render/font.h"
#include "render/sprite.h"
#include "render/view.h"

namespace {

// One base column; everything sits to its right.
constexpr int kBase = 156;
constexpr int kPanelX = kBase + 10;
constexpr int kItemX = kBase + 15;
constexpr int kScrapPanelY = 0, kScrapIconY = 11, kScrapTextY = 21;
constexpr int kPilotPanelY = 34, kPilotIconY = 38, kPilotTextY = 48;

ResourcePanelServices MakeServices() {
    ResourcePanelServices s{};
    s.team = GameObject_GetUserTeamRecord;
    s.drawSprite = [](GraphicBuffer* buffer, int sprite, int x, int y, int mode, float depthRaise) {
        const float depth = OverlayDepth;
        OverlayDepth = depth + depthRaise;
        Sprite_Draw(buffer, sprite, x, y, static_cast<uint32_t>(mode));
        OverlayDepth = depth;
    };
    s.drawText = [](GraphicBuffer* buffer, int x, int y, const char* text, int colour) {
        BitmapFont* font = Font_Main();
        if (!font) return;
        Font_SetColor(font, colour);
        Font_DrawText(font, buffer, x, y, text);
    };
    s.setIconColour = [](int colour) { TextColour = colour; };
    return s;
}
ResourcePanelServices g_services = MakeServices();
ResourcePanel* g_panel = nullptr;

}  // namespace

ResourcePanelServices& ResourcePanel_Services() { return g_services; }

ResourcePanel::ResourcePanel() { PlaceLayers(); }

void ResourcePanel::PlaceLayers() {
    for (int layer : {0, 1, 2, 3, 7}) SetLayer(layer, 2);
}

void ResourcePanel::Init() {
    scrapIcon = Sprite_Find("Scrap");
    scrapPanel = Sprite_Find("scrap_panel");
    pilotIcon = Sprite_Find("Pilot");
    pilotPanel = Sprite_Find("pilot_panel");
}

void ResourcePanel_Format(char* out, size_t size, int32_t current, int32_t capacity) {
    std::snprintf(out, size, "%02d/%02d", static_cast<int>(current), static_cast<int>(capacity));
}

void ResourcePanel::Draw() {
    GraphicBuffer* buffer = Hud_Context().buffer;
    TeamRecord* team = g_services.team();
    if (!buffer || !team) return;
    const bool panels = Graphic_ClipWidth(buffer) > 400;
    char text[32];
    if (panels) g_services.drawSprite(buffer, scrapPanel, kPanelX, kScrapPanelY, 1, 0.1f);
    // The icons are drawn in one colour: the colour the text under them is written in.
    g_services.setIconColour(HudColors.blue);
    g_services.drawSprite(buffer, scrapIcon, kItemX, kScrapIconY, 5, 0.0f);
    ResourcePanel_Format(text, sizeof text, team->GetScrap(), team->GetMaxScrap());
    g_services.drawText(buffer, kItemX, kScrapTextY, text, HudTextColors.blue);
    if (panels) g_services.drawSprite(buffer, pilotPanel, kPanelX, kPilotPanelY, 1, 0.1f);
    g_services.setIconColour(HudColors.green);
    g_services.drawSprite(buffer, pilotIcon, kItemX, kPilotIconY, 5, 0.0f);
    ResourcePanel_Format(text, sizeof text, team->GetPilots(), team->GetMaxPilots());
    g_services.drawText(buffer, kItemX, kPilotTextY, text, HudTextColors.green);
}

ResourcePanel& ResourcePanel_Instance() {
    Hud_CreateElements();
    return *g_panel;
}

void ResourcePanel_Register(ResourcePanel* panel) { g_panel = panel; }

void ResourcePanel_Reset() {
    g_services = MakeServices();
    if (g_panel) g_panel->PlaceLayers();
}
