#include "cnfrmpymt/document/GridBolding.h"

#include "controls/SSOleDBGrid.h"

namespace tavro {

void applyGridBolding(SSOleDBGrid& grid)
{
    const QString unbold = QString::fromLatin1(UnboldStyleSet);
    QFont cellFont = grid.StyleSets(unbold).Font();
    cellFont.setBold(false);
    grid.StyleSets(unbold).setFont(cellFont);

    QFont gridFont = grid.Font();
    gridFont.setBold(true);
    grid.setFont(gridFont);

    for (int i = 0; i < grid.ColumnCount(); ++i) {
        grid.Columns(i).setStyleSet(unbold);
        grid.Columns(i).setHeadStyleSet(unbold);
    }
}

} // namespace tavro
