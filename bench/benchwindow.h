#pragma once

#include "prompts.h"
#include "queueentry.h"

#include <QString>

#include <chrono>

class Form1;

// Message boxes that answer OK at once: a benchmark has nobody to read them.
class SilentPrompts : public Prompts {
public:
    int MsgBox(QWidget *, const QString &, int, const QString &) override { return vbOK; }
};

// Fills the main window's boxes for a reminder due this minute, its mail going to the loopback
// server on `port` with replies awaited for `wait`, and stores it.
void StoreDueNow(Form1 &form, EntryMode mode, const QString &message, quint16 port,
                 std::chrono::seconds wait);
