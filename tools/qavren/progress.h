// ProgressLine: a batch's "[3/120] name" line on a terminal, redrawn in
// place while the batch runs; silent when stderr is not a terminal, so logs
// stay clean. Where TERM is unset or "dumb" it uses no escape codes: a
// carriage return and blanks over the old text instead.
#pragma once

namespace qavren::cli {

class ProgressLine {
public:
    // `enabled` false keeps the line off whatever stderr is (-q).
    ProgressLine(int total, bool enabled);
    ~ProgressLine() { Clear(); }

    void Show(int number, const char* name);
    void Clear();

private:
    int total_;
    int columns_ = 80;
    int shown_length_ = 0;  // 0: nothing shown
    bool enabled_ = false;
    bool plain_ = false;  // no escape codes
};

}  // namespace qavren::cli
