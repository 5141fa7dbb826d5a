#pragma once

#include "prompts.h"
#include "queueentry.h"

#include <QString>

#include <chrono>
#include <memory>

class Form1;

// The main window as a benchmark drives it: shown, its message boxes answering OK at once
// (nobody is there to read them), and its tick run only when the benchmark says.
class BenchWindow {
public:
    BenchWindow();
    ~BenchWindow();

    Form1 &form() { return *m_form; }
    // Fills the boxes for a reminder due this minute, its mail going to the loopback server on
    // `port` with replies awaited for `wait`, and stores it.
    void StoreDueNow(EntryMode mode, const QString &message, quint16 port,
                     std::chrono::seconds wait);

private:
    class SilentPrompts : public Prompts {
    public:
        int MsgBox(QWidget *, const QString &, int, const QString &) override { return vbOK; }
    };
    SilentPrompts m_prompts;
    std::unique_ptr<Form1> m_form;
};
