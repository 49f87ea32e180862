// What holds for one run of the program and is never a preference: the
// choices of a dialog for the command being carried out, what the scanner
// learnt about the input, and flags only tests set. Passed beside the
// read-only Settings: by reference where it is written, const where only read.
// None of it is written to the INI file.
#pragma once

#include "model/settings.h"

namespace zarvex {

struct RunContext {
    bool AssumeSortedOrder = false;  // "Assume &Sorted Message Order (last chance)"
    bool MimeTextOffForRun = false;  // set when "begin" turned out to be Base64
    bool YouChooseDuplicate = false; // "You Choose Duplicate Part" (Extract dialog)
    bool AppendAllToOneFile = false; // "A&ppend All to One File" (Extract dialog)
    // "Save Raw": the Extract command writes the sections undecoded.
    bool SaveRaw = false;
    // Decoded text that holds encoded data is offered for decoding again.
    // On at the start of every Extract command; No with Shift turns it off
    // for the rest of the command.
    bool RecursiveDecoding = true;
    // Every line goes through every scanner rule and the engine reads every
    // line on its own: the quiet-line shortcut, the boundary read-ahead's
    // pass over plain lines and the runs of yEnc, Base64 and UU data lines
    // left out (tests compare both ways; the results must be the same).
    bool ScanFullRulesOnly = false;
    // Each output written is hashed (SHA-256) from its still open file and
    // told to the host (Host::OutputWritten) before it takes its name.
    bool HashOutputs = false;
    // Each output gets its first part's message date as its modification
    // time, set through its still open file before it takes its name; a
    // file unpacked from a winmail.dat takes its attachment's date.
    bool KeepDates = false;
};

// "MimeText" as it holds for the rest of this run.
inline bool MimeTextInEffect(const Settings& settings, const RunContext& run)
{
    return settings.MimeText && !run.MimeTextOffForRun;
}

} // namespace zarvex
