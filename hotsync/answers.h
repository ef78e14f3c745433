/*
 * The ordered answers list shared by message boxes and the action dialog, and
 * the terminal fallback once it is used up.
 */
#ifndef LENSFOLIO_HOTSYNC_ANSWERS_H
#define LENSFOLIO_HOTSYNC_ANSWERS_H

#include <string>

namespace standin {

// Takes the next token, trimmed and in lower case; false when the list is used
// up. The list comes from StandinSetAnswers, else HOTSYNC_ANSWERS.
bool TakeAnswer(std::string *token);
// True when answers may be asked on the terminal: switched on and standard
// input is a terminal.
bool TerminalAnswers();
// Shows `question` on standard error and reads one line from standard input,
// trimmed and in lower case; false at end of input.
bool AskTerminal(const std::string &question, std::string *answer);

}  // namespace standin

#endif  // LENSFOLIO_HOTSYNC_ANSWERS_H
