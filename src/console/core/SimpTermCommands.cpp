#include "console/core/SimpTermCommands.h"

#include "console/core/SimpTermParser.h"
#include "console/core/SimpleTerminalModel.h"

TSimpTermEffect ApplySimpTermCommand(TSimpleTerminalModel& screen, uint8_t cmd, int row, int column) {
    switch (cmd) {
        case TSimpTermParser::cmdHighVideoOn:
            screen.DefaultAttributes.Include(tca_HighVideo);
            return TSimpTermEffect::Attributes;
        case TSimpTermParser::cmdHighVideoOff:
            screen.DefaultAttributes.Exclude(tca_HighVideo);
            return TSimpTermEffect::Attributes;
        case TSimpTermParser::cmdClearScreen:
            screen.ClearScreen();
            break;
        case TSimpTermParser::cmdClearLine:
            screen.ClearLine();
            break;
        case TSimpTermParser::cmdClearToEndOfLine:
            screen.ClearToEndOfLine();
            break;
        case TSimpTermParser::cmdInsertLine:
            screen.InsertLine();
            break;
        case TSimpTermParser::cmdDeleteLine:
            screen.DeleteLine();
            break;
        case TSimpTermParser::cmdGotoXY:
            screen.GotoXY(column, row);
            break;
        case TSimpTermParser::cmdCursorHome:
            screen.CursorHome();
            break;
        default:
            return TSimpTermEffect::None;
    }
    return TSimpTermEffect::Screen;
}
