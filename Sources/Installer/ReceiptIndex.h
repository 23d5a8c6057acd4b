// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/InstalledFiles.h"
#include "Installer/Receipt.h"

#include <QHash>
#include <QString>

#include <vector>

// Which receipt speaks for each destination: the newest install of it.
class ReceiptIndex
{
public:
    explicit ReceiptIndex(const QString &root)
        : _receipts(Receipt::readAll(root))
    {
        for (const Receipt &receipt : _receipts) {
            for (const Receipt::Template &entry : receipt.templates) {
                auto it = _owners.find(entry.destination);
                if (it == _owners.end() || it->receipt->installedAt < receipt.installedAt)
                    _owners.insert(entry.destination, {&receipt, &entry});
            }
        }
        // Names compare in composed form: a Mac-made archive stores them decomposed.
        for (auto it = _owners.cbegin(); it != _owners.cend(); ++it)
            _composed.insert(InstalledFiles::comparable(it.key()), it.value());
    }
    ReceiptIndex(const ReceiptIndex &) = delete;
    ReceiptIndex &operator=(const ReceiptIndex &) = delete;

    struct Owner
    {
        const Receipt *receipt = nullptr;
        const Receipt::Template *entry = nullptr;
    };
    Owner ownerOf(const QString &destination) const
    {
        const auto it = _owners.constFind(destination);
        return it != _owners.cend() ? *it : _composed.value(InstalledFiles::comparable(destination));
    }
    const std::vector<Receipt> &receipts() const { return _receipts; }
    const QHash<QString, Owner> &owners() const { return _owners; }

private:
    std::vector<Receipt> _receipts;
    QHash<QString, Owner> _owners;
    QHash<QString, Owner> _composed;
};
