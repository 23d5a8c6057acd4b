#include "ZipArchiveDelegate.h"

ZipArchiveDelegate::~ZipArchiveDelegate() = default;

void ZipArchiveDelegate::ErrorMessage(const QString &)
{
}

bool ZipArchiveDelegate::OverWriteOperation(const QString &)
{
    return true;
}
