// Answers for message boxes given by the environment, and the box log.
#pragma once
#include <optional>
#include <string>

namespace pl::services {

// The next entry of PL_MSGBOX_ANSWERS ("yes,no,ok,..."), lower-cased and
// trimmed; an exhausted list yields "". nullopt when the variable is unset or
// empty. The entries are taken in order across the process; setting the
// variable to a different value starts again at its first entry.
std::optional<std::string> nextScriptedAnswer();

// Appends "caption<TAB>text<TAB>answer" to the file named by PL_MSGBOX_LOG, if
// set. Backslash, tab, CR and LF inside caption and text are written as \\,
// \t, \r and \n so that every box stays one line.
void logMessageBox(const std::string& caption, const std::string& text, const char* answer);

}  // namespace pl::services
