// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/Receipt.h"

#include <QHash>
#include <QString>
#include <vector>

// The receipts of a destination root, read once, and which of them speaks
// for each destination: the newest install of it. Destinations and archive
// titles are looked up in any Unicode normalisation form.
class ReceiptIndex
{
public:
    explicit ReceiptIndex(const QString &root);
    ReceiptIndex(const ReceiptIndex &) = delete;
    ReceiptIndex &operator=(const ReceiptIndex &) = delete;

    struct Owner
    {
        const Receipt *receipt = nullptr;
        const Receipt::Template *entry = nullptr;
    };
    // Both null when no receipt names the destination.
    Owner ownerOf(const QString &destination) const;
    // Every readable receipt, by archive title.
    const std::vector<Receipt> &receipts() const { return _receipts; }
    // Every destination a receipt names, by its comparable form; the entry
    // holds it as the receipt wrote it.
    const QHash<QString, Owner> &owners() const { return _owners; }
    // The receipt whose archive title or archive file name this is; null
    // when there is none.
    const Receipt *receiptNamed(const QString &name) const;

private:
    std::vector<Receipt> _receipts;
    QHash<QString, Owner> _owners;
};
