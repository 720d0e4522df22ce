#pragma once

#include <string>
#include <string_view>

namespace lurkel {

// A name or path as lurkelctl shows it to a person: as it is when that is safe, otherwise in
// single quotes, with \' and \\ for quotes and backslashes, and \n, \t or \xHH for every byte
// a terminal would act on or cannot show: C0 controls, DEL, C1 controls (a raw byte
// 0x80-0x9f, or U+0080-U+009F encoded as UTF-8) and bytes that are not UTF-8. Valid UTF-8
// text is kept. Every name in lurkelctl's messages goes through here, and so do the lists
// of paths written to a terminal.
std::string quoteForTerminal(std::string_view bytes);

// A message text in UTF-8 (an error's description) for one terminal line: every control
// character, C1 included, and every byte that is not UTF-8 becomes a space; line feeds stay
// when keepLineFeeds.
std::string messageForTerminal(std::string_view text, bool keepLineFeeds = false);

// A text for one log line: every byte a terminal or a log reader would act on (as for
// quoteForTerminal) written as \n, \t or \xHH, a backslash doubled, nothing quoted; at most
// maxBytes of the text are kept, the rest counted ("... (N more bytes)").
std::string lineForLog(std::string_view text, std::size_t maxBytes = 4096);

} // namespace lurkel
