#pragma once
// Host file paths as the text widgets show and edit: byte strings in the
// file system's encoding (UTF-8 here), not always valid ones, turn into
// QStrings and back without losing a byte (the escapes of HostPathText.h).

#include <string>

class QString;

QString PathToQt(const std::string& path);
std::string PathFromQt(const QString& path);

// Text for reading only (captions, tooltips): invalid bytes show as the
// replacement character.
QString DisplayText(const std::string& text);
// The same for boxes that wrap their text: long runs without a blank get
// places where a line may break (after separators, else every few
// characters), so no path makes a box wider than the screen.
QString WrappableText(const std::string& text);
