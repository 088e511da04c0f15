// ProgressLine: "[3/17] name.lwo" kept on one terminal line with \r while a
// batch runs; silent when stderr is not a terminal, so logs stay clean.
#pragma once

namespace qavren::cli {

class ProgressLine {
public:
    explicit ProgressLine(int total);
    ~ProgressLine() { Clear(); }

    void Show(int number, const char* name);
    void Clear();

private:
    int total_;
    int columns_ = 80;
    bool enabled_ = false;
    bool shown_ = false;
};

}  // namespace qavren::cli
