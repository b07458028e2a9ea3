#pragma once

#include <QString>
#include <functional>

enum TSortMarkerEh { smNoneEh, smDownEh, smUpEh }; // down: ascending, up: descending

enum TFooterValueType { fvtNon, fvtSum, fvtCount, fvtStaticText };

// One column of a data grid, bound to a query field by name.
struct GridColumn {
    QString fieldName;
    int width = 64;           // pixels
    bool titleButton = false; // the title reacts to clicks like a button
    TSortMarkerEh sortMarker = smNoneEh;
    TFooterValueType footerKind = fvtNon;
    QString footerText;                // shown by fvtStaticText
    bool alwaysShowEditButton = false; // an inert ellipsis button in every cell
    bool visible = true;
    QString trueText, falseText; // a yes/no cell's words on screen, where set
    QString title;                          // the layout's title, shown while the query is closed
    std::function<QString(int row)> textOf; // where set, a cell's words on screen, by row
};
