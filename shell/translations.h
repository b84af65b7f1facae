#pragma once

class QCoreApplication;

// Qt's own texts (the buttons of message boxes, the file dialogs) in the
// user's language when Qt has them, else in Chinese like the rest of the
// program.
void loadQtTranslations(QCoreApplication &app);
