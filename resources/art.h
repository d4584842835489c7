#pragma once

#include <QIcon>
#include <QPixmap>

// Orvanto's own art, painted at run time. Ids are those of resource_ids.h.
namespace Art {

// The four states of a form button, in the order of the bitmap id tables.
enum class ButtonState { Up, Down, Focus, Disabled };

// Face of a form button (Rec, Play, Stop, Attach, "...") in one state.
QPixmap buttonFace(int firstBitmapId, ButtonState state, const QSize &size);

// Icon of a toolbar command (New, Send, Settings, Sent Messages, Online Help, Hide).
QIcon commandIcon(int commandId);

// The tray and window icon (176), in the sizes up to `largestSide` pixels, and the
// 80 by 40 logo (177).
constexpr int LargestIconSide = 256;
// What a title bar, a task bar and the tray show.
constexpr int SmallIconSide = 48;
QIcon trayIcon(int largestSide = LargestIconSide);
QPixmap logo();

}  // namespace Art
