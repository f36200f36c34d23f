// The default error handler: every run-time error of the program ends here.
// It describes the error in English, logs it, shows the error box and turns
// the operator's answer into the result of the failing operation.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/runtime/error.h"
#include "platform/runtime/error_record.h"

namespace errors {

// Body of the error block. Returns true (retry), false (take the default) or
// an empty value of SubstituteType (use it); the answer "quit" breaks to the
// nearest recovery point or ends the process with exit code GenCode.
rt::Value DefError(const rt::Value& object);

// The error block that hands the error object to DefError.
rt::Value DefErrorBlock();

// The English description of an error, lines ending in CR LF.
std::string ErrorText(const rt::Error& error);

// The call-stack lines of the handler's text ("" when no level is known).
std::string CallStackText(size_t maxLevels);

// The converter for the run time's internal error records.
std::shared_ptr<rt::Error> DefErrorGen(const rt::ErrorRecord* record);

// The run time's error box. retry is 2 when a retry may be offered (else 0);
// breakWord is BREAK_ACTIVE when a recovery point is active. Returns 1 for
// the default answer, 2 for retry, anything else to end.
constexpr uint32_t BREAK_ACTIVE = 0x80000003;
constexpr uint32_t BREAK_NONE = 0x80000000;
enum ErrorBoxAnswer { ANSWER_DEFAULT = 1, ANSWER_RETRY = 2, ANSWER_QUIT = 3 };
int ErrorBox(const std::string& text, const std::string& caption, bool offerDefault, int retry, uint32_t breakWord);

// Start-up of the error system, before the application starts: installs the
// block calling DefError unless a block is set, takes the conventions of the
// user locale and registers DefErrorGen. Ending the program after an error
// closes every open work area; tones go to the display's bell.
void StartErrorSystem();

// Shared by both handlers: an object that is not an Error becomes one with
// GenCode 28 naming DefError.
std::shared_ptr<rt::Error> AsError(const rt::Value& object);

// Shared by both handlers: the three tones while the beep switch is on, and
// the answers an error allows (GenCode 14 never offers a retry and clears
// CanRetry on the error).
void ErrorTones();
struct OfferedAnswers {
  bool offerDefault = false;
  bool offerRetry = false;
  uint32_t breakWord = BREAK_NONE;
};
OfferedAnswers Offer(rt::Error& error);

// The answer of a handler after the box or dialog: 1 = default/substitute,
// 2 = retry; any other choice breaks to the recovery point or ends the
// program (closing the work areas first when asked to).
rt::Value AnswerChoice(rt::Error& error, int choice, bool closeWorkAreas);

}  // namespace errors
