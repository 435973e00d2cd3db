// Resource IDs shared by pagerift.rc and the C++ code. Plain #defines only, so
// that both the resource compiler and the portable core can include this file.
#ifndef PAGERIFT_SKIN_ART_RESOURCE_IDS_H
#define PAGERIFT_SKIN_ART_RESOURCE_IDS_H

// The lowest icon ID becomes the executable's icon in the shell.
#define IDI_APP 1

// Pictures, stored as RCDATA in their file format (BMP or baseline JPEG).
#define IDR_BACKGROUND 101      // background.bmp      553 x 371, 24 bpp, magenta colour key
#define IDR_DROPZONE 102        // dropzone.jpg        545 x 302, drop zone, normal
#define IDR_DROPZONE_LIGHT 103  // dropzone_light.jpg  545 x 302, drop zone, highlighted
#define IDR_BROWSE_LIGHT 104    // browse_light.jpg     42 x 22,  browse button, highlighted
#define IDR_BROWSE_DARK 105     // browse_dark.jpg      42 x 22,  browse button, pressed
#define IDR_BUTTON 106          // button.jpg           18 x 18,  option button, normal
#define IDR_BUTTON_LIGHT 107    // button_light.jpg     18 x 18,  option button, highlighted
#define IDR_PB_FILL 108         // pb_fill.jpg           1 x 14,  progress fill (stretched)
#define IDR_PB_LEFT 109         // pb_left.jpg           5 x 14,  progress left end cap
#define IDR_PB_RIGHT 110        // pb_right.jpg          5 x 14,  progress right end cap

// Each picture is drawn again for the display scales 125, 150, 175 and 200 %
// (folders of those names; the background deflated, as background.bmp.z):
// picture id + IDR_SCALE_STRIDE * k is the one for the kth of them, k = 1..4.
// make_art.py writes their lines into scaled.rc.
#define IDR_SCALE_STRIDE 1000

// Pointer over the minimise, close and help hotspots. Not IDC_HAND: winuser.h
// already uses that name for the system hand cursor.
#define IDC_HAND_POINTER 201  // hand.cur             32 x 32 monochrome, hot spot (6, 0)

#endif
