// The sinks: the named control outputs that the cockpit's input mapping writes once per frame
// and the rest of the game reads as plain variables (the user's craft, the command menu, the
// camera, the terrain editor, the shell). Analog sinks are 32-bit fixed point in the sink's own
// units (65536 = 1.0 for the -1..1 sinks); discrete sinks are one byte, 1 while held (hold
// sinks) or in the frame the chord starts to hold (press sinks).
#pragma once
#include <cstdint>

struct InputSinks {
    // ---- analog ------------------------------------------------------------------------------
    int32_t cmd_x, cmd_y, menu_pos, strafe, throttle, steer, pitch, menu_item, menu_value;
    int32_t track_pitch_delta, track_yaw_delta;
    // ---- hold --------------------------------------------------------------------------------
    uint8_t cmd_lhold, cmd_rhold, cmd_multi, menu_cycle, strafe_right, strafe_left, throttle_up,
        throttle_down, steer_right, steer_left, pitch_up, pitch_down, weapon_fire, weapon_special, turbo,
        jump, menu_item_reset, menu_value_reset, track_pitch_plus, track_pitch_minus, track_yaw_plus,
        track_yaw_minus, zoom_factor_plus, zoom_factor_minus, zoom_factor_reset, edit_lmouse, edit_rmouse,
        edit_shift, edit_control, edit_alt, edit_left, edit_right, edit_up, edit_down, edit_eyedropper,
        edit_rotate, edit_vertflip, edit_horizflip, edit_paint, edit_solid, edit_cap, edit_diag,
        edit_alternate;
    // ---- press -------------------------------------------------------------------------------
    uint8_t cmd_lclick, cmd_rclick, cmd_delete, center_player, center_recycler;
    uint8_t mode_select[10];  // mode_select_0 .. mode_select_9
    uint8_t menu_up, menu_down, menu_next, menu_back, menu_press, alt_press;
    uint8_t group_select[10];  // group_select_0 .. group_select_9
    uint8_t weapon_cycle, weapon_link;
    uint8_t weapon_select[5];  // weapon_select_0 .. weapon_select_4
    uint8_t eject, deploy, abandon, frontal_target, cycle_beacon, drop_beacon, menu_enter, menu_abort,
        edit_undo, edit_wireframe, edit_copy, edit_paste, edit_wirecolor, edit_maptype;
};

// The one set of sinks.
extern InputSinks InputSink;

// The key event the input update took from the keyboard's typed-key queue this frame (a key
// code: character or fixed code + 256 Control + 512 Shift + 1024 Alt); 0 for none.
extern uint16_t InputKeyEvent;

// While user control is off only the "menu_" bindings are evaluated: the other discrete sinks
// stay 0 and the other analog sinks keep their last value. Scripts switch it off for scripted
// cameras, vehicle exits and deaths.
void Input_DisableUserControl();
void Input_EnableUserControl();
bool Input_IsUserControlEnabled();

// Every sink 0, no key event, user control on (the input layer's close and the tests).
void InputSinks_Clear();
