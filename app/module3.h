#pragma once

#include <QString>

// The help text.
class Module3 {
public:
    // Address the help text invites comments at.
    static inline const QString CommentsAddress = QStringLiteral("comments@tallowick.example.org");

    // Builds HelpText anew: ten lines joined by CR LF, no break after the last.
    void BuildHelpText();

    QString HelpText;
};
