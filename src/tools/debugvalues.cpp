#include "tools/debugvalues.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ai/unitservices.h"
#include "interface/hudelement.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/palette.h"

namespace {

DebugValueColumn g_column;
std::vector<std::string> g_lines;
std::string g_lastPrinted;
int g_greyColour = 0;
const DebugProjection* g_projection = nullptr;

// Lines are formatted into a buffer of kDebugLineMax + 1 bytes: a longer line is cut there.
using LineBuffer = char[kDebugLineMax + 1];

void DrawValueLine(const LineBuffer line) {
    BitmapFont* font = Hud_Context().textFont;
    if (font && g_column.target) {
        Font_SetColor(font, g_greyColour);
        Font_DrawText(font, g_column.target, kDebugValueX, g_column.pitch * g_column.count + kDebugValueTop, line);
    }
    ++g_column.count;
    g_lines.emplace_back(line);
}

// The AI's colours are 0xRRGGBB; the screen wants the nearest palette index.
int PaletteIndexOf(uint32_t rgb) {
    return Palette_FindNearest(static_cast<float>(rgb >> 16 & 0xFF) / 255.0f,
                               static_cast<float>(rgb >> 8 & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f);
}

}  // namespace

float DebugValues_HelloValue = 1.0f;

const DebugValueColumn& DebugValues_Column() { return g_column; }
const std::vector<std::string>& DebugValues_Lines() { return g_lines; }

void DebugValues_Begin() {
    g_greyColour = Palette_FindNearest(0.6f, 0.6f, 0.6f);
    const BitmapFont* font = Hud_Context().textFont;
    g_column.pitch = (font ? font->height : 0) + 4;
    g_column.count = 0;
    g_column.target = Hud_Context().buffer;
    g_lines.clear();
}

void DebugValues_Float(const char* name, float value) {
    LineBuffer line;
    std::snprintf(line, sizeof line, "%s: %f", name ? name : "", static_cast<double>(value));
    DrawValueLine(line);
}

void DebugValues_Int(const char* name, int value) {
    LineBuffer line;
    std::snprintf(line, sizeof line, "%s: %d", name ? name : "", value);
    DrawValueLine(line);
}

void DebugValues_Text(const char* name, const char* text) {
    LineBuffer line;
    std::snprintf(line, sizeof line, "%s: %s", name ? name : "", text ? text : "");
    DrawValueLine(line);
}

void DebugValues_Vector(const char* name, float x, float y, float z) {
    LineBuffer line;
    std::snprintf(line, sizeof line, "%s: (%f,%f,%f)", name ? name : "", static_cast<double>(x),
                  static_cast<double>(y), static_cast<double>(z));
    DrawValueLine(line);
}

void DebugValues_Hello() {
    DebugValues_Begin();
    DebugValues_Float("Hello", DebugValues_HelloValue);
}

void DebugText_SetCursor(int x, int y) {
    Hud_Context().textX = x;
    Hud_Context().textY = y;
}

int DebugText_Print(const char* text, int textColour, int fillColour) {
    HudContext& context = Hud_Context();
    int right = 0, bottom = context.textY;
    if (context.buffer) {
        Hud_DrawTextLine(context.buffer, context.textX, context.textY, &right, &bottom, text ? text : "",
                         context.textFont, textColour, fillColour);
    } else if (context.textFont) {
        // No view to draw into: the cursor still moves as if the line had been drawn.
        int width = 0, height = 0;
        Font_MeasureText(context.textFont, text ? text : "", &width, &height);
        bottom = context.textY + height;
    }
    context.textY = bottom + 2;
    g_lastPrinted = text ? text : "";
    return context.textY;
}

const std::string& DebugText_LastLine() { return g_lastPrinted; }
void DebugText_ForgetLast() { g_lastPrinted.clear(); }

void DebugText_SetProjection(const DebugProjection* projection) { g_projection = projection; }
const DebugProjection* DebugText_Projection() { return g_projection; }

void DebugText_DrawMarker(const float a[2], const float b[2], int colour) {
    GraphicBuffer* buffer = Hud_Context().buffer;
    if (!g_projection || !buffer) return;
    int ax = 0, ay = 0, bx = 0, by = 0;
    if (!g_projection->GroundToScreen(a[0], a[1], &ax, &ay) || !g_projection->GroundToScreen(b[0], b[1], &bx, &by))
        return;
    Graphic_DrawLine(buffer, ax, ay, bx, by, colour, 0);
}

void DebugText_DrawBar(const float point[2], float radius, int colour) {
    GraphicBuffer* buffer = Hud_Context().buffer;
    if (!g_projection || !buffer) return;
    int cx = 0, cy = 0, ex = 0, ey = 0;
    if (!g_projection->GroundToScreen(point[0], point[1], &cx, &cy) ||
        !g_projection->GroundToScreen(point[0] + radius, point[1], &ex, &ey))
        return;
    Graphic_DrawCircle(buffer, cx, cy, std::abs(ex - cx), 24, colour, 0);
}

void DebugValues_InstallSeam() {
    UnitAiServices& s = UnitAi_Services();
    // State dumps print white over no background, one line under the other.
    s.debugPrint = [](const char* line) { DebugText_Print(line, Palette_FindNearest(1.0f, 1.0f, 1.0f), -1); };
    s.debugLine = [](const Vector& from, const Vector& to, uint32_t colour) {
        const float a[2] = {from.x, from.z}, b[2] = {to.x, to.z};
        DebugText_DrawMarker(a, b, PaletteIndexOf(colour));
    };
    s.debugCircle = [](const Vector& centre, float radius, uint32_t colour) {
        const float at[2] = {centre.x, centre.z};
        DebugText_DrawBar(at, radius, PaletteIndexOf(colour));
    };
}

void DebugValues_Reset() {
    g_column = DebugValueColumn{};
    g_lines.clear();
    g_lastPrinted.clear();
    g_greyColour = 0;
    g_projection = nullptr;
    DebugValues_HelloValue = 1.0f;
}
