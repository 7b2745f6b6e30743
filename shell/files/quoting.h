// Names in messages: quoted, so that a name with blanks or none at all is
// seen for what it is, and with control characters escaped, so that a name
// holding a line end or a terminal escape cannot break the message's one
// line or reach the terminal as a command.
#pragma once

#include <string>
#include <string_view>

// `text` between single quotes, bytes that are no printable UTF-8 shown
// escaped: "\n", "\r", "\t", else "\xHH" (ASCII and C1 control characters,
// and bytes of no valid UTF-8 sequence). Other characters, backslashes and
// quotes among them, stay as they are, so that a Windows path reads as typed.
std::string Quoted(std::string_view text);
