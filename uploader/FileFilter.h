#pragma once

#include <QString>
#include <QStringList>

// "description(*.a,*.b)|*.a;*.b" for the extension list "a|b".
QString BuildBrowseFilter(const QString& description, const QString& extensions);
// A filter of description and pattern pairs, every element ended by "|" or ":", as name
// filters for Qt's file dialog ("description (*.a *.b)").
QStringList ToDialogNameFilters(const QString& filter);
