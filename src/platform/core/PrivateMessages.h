#pragma once
// The numbers of the private window messages that travel between parts of
// the program, all in one list so that none is given twice. On Qt they are
// the types of custom events (platform/PlatformEvents.h, serial/QnPortWindow.h).

#include <cstdint>

inline constexpr uint32_t WM_USER = 0x0400;
// Asks the terminal to paste the clipboard (as the edit message does).
inline constexpr uint32_t WM_PASTE = 0x0302;
// A BREAK on serial line WParam (1 or 2): the main window reboots CP/M.
inline constexpr uint32_t WM_COMBREAK = WM_USER + 42;

// Serial-port dispatcher: trigger messages.
inline constexpr uint32_t QnMsgDataAvailable = 0x7E01;
inline constexpr uint32_t QnMsgDataTrigger = 0x7E02;
inline constexpr uint32_t QnMsgTimerTrigger = 0x7E03;
inline constexpr uint32_t QnMsgStatusTrigger = 0x7E04;
// Serial port: notices to user windows, and the port's own close completion.
inline constexpr uint32_t QnMsgPortOpened = 0x7E08;
inline constexpr uint32_t QnMsgPortClosed = 0x7E09;
inline constexpr uint32_t QnMsgPortClosing = 0x7E0A;  // to users; to the hidden window: finish a close

// Terminal family: data available (WParam = the character source).
inline constexpr uint32_t WM_TERMINAL_DATA = 0x7E47;
// The terminal's own message: hook up to its port's dispatcher.
inline constexpr uint32_t WM_PORT_HOOKUP = 0x7E89;
// Terminal family: the screen buffer changed.
inline constexpr uint32_t WM_SCREEN_CHANGED = 0x7E8A;
