#pragma once
// Tests of the Save As dialog pick a file type the way the user does.

#include <QComboBox>
#include <QTest>

#include "export/cexportdialog.h"

// The user picks the type at `number` (from 1) in the dialog's type box.
inline void pickType(CExportDialog& dialog, int number)
{
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    // What a choice in the box's list sends.
    types->setCurrentIndex(number - 1);
    Q_EMIT types->activated(number - 1);
    Q_EMIT types->textActivated(types->itemText(number - 1));
}
