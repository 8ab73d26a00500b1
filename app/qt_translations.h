// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Qt's own texts (the buttons of a message box, the file dialog) in the
// locale's language: from the translations folder beside the program, where
// the Windows build carries them, else from Qt's own (Debian's
// qt6-translations-l10n). Without either, they stay English. Call it once
// the application exists; the translator lives as long as the program.
void installQtTranslations();
