#pragma once
// Host file paths are byte strings in the file system's encoding (UTF-8
// here), not always valid ones. These turn them into the text a widget shows
// and edits, and back, without losing a byte: valid UTF-8 decodes as such;
// every byte that is not part of a valid sequence becomes one of the lone
// surrogates DC80h-DCFFh (which valid UTF-8 never yields) and turns back
// into that byte.

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
