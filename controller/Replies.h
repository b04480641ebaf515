#pragma once

#include "controller/Link.h"
#include "transfer/Frames.h"

#include <QString>

// How each operator command is acknowledged: the reply form, the bytes
// awaited, the time limit, and the messages for status panel 2.
enum class ReplyForm { StatusByte, Framed };

enum class ControllerCommand { Send, Mode, Time, ReadPara, SavePara, Download };

struct ReplyRule {
    Command code;  // the code a good reply carries back
    ReplyForm form;
    int count;  // bytes awaited
    int timeoutMs;
    const char* success;
    const char* noReply;
    const char* differs;  // nullptr: a differing reply shows nothing
};

const ReplyRule& replyRule(ControllerCommand command);

enum class ReplyOutcome { NoReply, Matches, Differs };

// Waits for the command's reply on the open link and checks it: a status
// byte must equal the code; a framed reply must start 0xAA 0x55, any byte,
// then the code.
ReplyOutcome checkReply(Link& link, const ReplyRule& rule);

// The status panel 2 text for an outcome (empty where nothing is shown).
QString replyMessage(const ReplyRule& rule, ReplyOutcome outcome);

// What went wrong, for a script: for a differing reply what came back (its
// first bytes in hex) and what was expected; for no reply what did come, or
// the hang-up. Empty when the reply matched.
QString replyFailureDetail(const ReplyRule& rule, ReplyOutcome outcome, const Link& link);
