// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/ReceiptIndex.h"

#include "Common/FileNames.h"

ReceiptIndex::ReceiptIndex(const QString &root)
    : _receipts(Receipt::readAll(root))
{
    for (const Receipt &receipt : _receipts) {
        for (const Receipt::Template &entry : receipt.templates) {
            const QString key = FileNames::comparable(entry.destination);
            auto it = _owners.find(key);
            if (it == _owners.end() || it->receipt->installedAt < receipt.installedAt)
                _owners.insert(key, {&receipt, &entry});
        }
    }
}

ReceiptIndex::Owner ReceiptIndex::ownerOf(const QString &destination) const
{
    return _owners.value(FileNames::comparable(destination));
}

const Receipt *ReceiptIndex::receiptNamed(const QString &name) const
{
    const QString wanted = FileNames::comparable(name);
    for (const Receipt &receipt : _receipts) {
        if (FileNames::comparable(receipt.archiveTitle) == wanted
            || (!receipt.archiveFileName.isEmpty() && FileNames::comparable(receipt.archiveFileName) == wanted))
            return &receipt;
    }
    return nullptr;
}
