#include "module3.h"

#include <QStringList>

void Module3::BuildHelpText() {
    const QStringList lines = {
        QStringLiteral("Select the date and the time you want to be notified."),
        QStringLiteral("Select the Notification Option: Pop-Up or E-mail."),
        QStringLiteral("Specify the recipient of the E-mail."),
        QStringLiteral("Specify the SMTP Mail server of your site."),
        QStringLiteral("Type the Message you want to send in the Message To Send Box."),
        QStringLiteral("Hit now the Store button"),
        QString(),
        QStringLiteral("To remove from the list the Notification Message select it and hit the "
                       "Remove button."),
        QString(),
        QStringLiteral("Comments are welcome at ") + CommentsAddress,
    };
    HelpText = lines.join(QStringLiteral("\r\n"));
}
