// Developer displays over the running game: a column of name and value lines, a free text
// cursor for printed lines (AI state dumps, the tuning list), and two ground figures (a line
// between two ground points and a ring around one) for AI overlays. Everything is drawn into
// the display base's view buffer of the current frame (Hud_Context().buffer) in the display
// base's debug font (Hud_Context().textFont); the text cursor is the base's developer text
// cursor, which HudElement_InitAll puts back at (20, 20).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct GraphicBuffer;

// The column: line n (from 0) of a column is drawn at (100, n * (line height + 4) + 140).
constexpr int kDebugValueX = 100;
constexpr int kDebugValueTop = 140;
// A formatted line holds at most this many characters; longer ones are cut.
constexpr int kDebugLineMax = 63;

struct DebugValueColumn {
    int count = 0;                  // lines printed since DebugValues_Begin
    int pitch = 0;                  // the font's line height + 4
    GraphicBuffer* target = nullptr;
};
const DebugValueColumn& DebugValues_Column();
// The lines of the column since DebugValues_Begin, as formatted (what a tool prints of it).
const std::vector<std::string>& DebugValues_Lines();

// Grey text, the pitch of the current font, an empty column on the current view buffer.
void DebugValues_Begin();
void DebugValues_Float(const char* name, float value);
void DebugValues_Int(const char* name, int value);
void DebugValues_Text(const char* name, const char* text);
void DebugValues_Vector(const char* name, float x, float y, float z);
// A self-test of the column: a fresh column with one float line, "Hello".
void DebugValues_Hello();
extern float DebugValues_HelloValue;

void DebugText_SetCursor(int x, int y);
// Draws the text at the cursor (over fillColour when it is 0 or more) and moves the cursor to 2
// pixels below the text's bottom; x stays. Returns the new y.
int DebugText_Print(const char* text, int textColour, int fillColour);
// The text of the last print, for tools and tests that read what a display shows; forgotten by
// DebugText_ForgetLast.
const std::string& DebugText_LastLine();
void DebugText_ForgetLast();

// What maps a ground point (x, z) to a screen pixel while an overlay is drawn. False when the
// point has no place on the screen (behind the viewer).
class DebugProjection {
public:
    virtual bool GroundToScreen(float x, float z, int* screenX, int* screenY) const = 0;

protected:
    ~DebugProjection() = default;
};
// The overlay's projection; null (the start) draws no figure.
void DebugText_SetProjection(const DebugProjection* projection);
const DebugProjection* DebugText_Projection();

// The clipped line between the screen points of two ground points.
void DebugText_DrawMarker(const float a[2], const float b[2], int colour);
// A ring of 24 segments around the ground point with the given world radius (its screen radius
// is the screen x distance from the point to (x + radius, z)).
void DebugText_DrawBar(const float point[2], float radius, int colour);

// Fills the unit AI's debug services with these helpers (start-up).
void DebugValues_InstallSeam();
// The column, the projection and the hello value back to the start (tests).
void DebugValues_Reset();
