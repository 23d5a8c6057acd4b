// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QUrl>

// Receives the archives dropped on a TemplateArchiveDropzoneView.
class TemplateArchiveDropzoneViewDelegate
{
public:
    virtual ~TemplateArchiveDropzoneViewDelegate() = default;

    // The file URLs of the dropped *.mtzip items, in the order they were
    // dragged; never empty.
    virtual void openTemplateArchiveAtURLs(const QList<QUrl> &urls) = 0;
};
