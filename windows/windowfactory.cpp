#include "windowfactory.h"

#include "chooserwindow.h"
#include "infowindows.h"
#include "programwindow.h"
#include "startwindow.h"
#include "viewerwindow.h"

namespace miravon {

ProgramWindow* createWindow(Program& program, WindowId id)
{
    switch (id) {
    case WindowId::Form1:
        return new StartWindow(program);
    case WindowId::frmmain:
    case WindowId::frmmain2:
    case WindowId::frmmain3:
    case WindowId::frmmain4:
    case WindowId::frmmain5:
    case WindowId::frmmain6:
    case WindowId::frmphim:
        return new ViewerWindow(program, id);
    case WindowId::chonkenh:
        return new ChooserWindow(program);
    case WindowId::frmsoft:
    case WindowId::frmtacgia:
    case WindowId::cauhinh:
        return new InfoWindow(program, id);
    }
    return new ProgramWindow(program, id);
}

} // namespace miravon
