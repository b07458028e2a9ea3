#include "grid/ColumnChooser.h"

#include "data/Guard.h"
#include "grid/U_Field.h"

void ColumnChooser::open(const QString& tableName) {
    if (open_)
        return;
    open_ = true;
    guarded(messages_, [&] {
        TFrm_Field chooser(data_, messages_);
        chooser.setTableName(tableName);
        chooser.exec();
    });
    open_ = false;
}
