#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn when first asked for: the product line pictures of the
// start view, the flash adapter picture of the flash rate dialog, the Program button's icon,
// the toolbar images and the application icon. Ids are the resource ids the product line
// table and the windows use.
namespace Artwork {

enum : int {
    kPortablePicture = 160,    // handheld radio, 446 x 317
    kFlashAdapterPicture = 224,// radio, cable and flash adapter (flash rate dialog)
    kProgramIcon = 225,        // the Program button's icon, 32 x 32
    kMobilePicture = 228,      // mobile radio, 480 x 360
    kBenchPicture = 229,       // handheld radio on its flashing kit, 446 x 317
};

enum class ToolbarImage { CommSetting, OrxSetting, About };

// The start picture `id` (160, 228, 229) at `width` x `height` pixels; the portable radio for
// any other id.
QPixmap ProductPicture(int id, int width, int height);
QPixmap FlashAdapterPicture();
QPixmap ProgramIcon(int size = 32);
// 16 x 15 pixels, like the toolbar bitmap's buttons.
QPixmap ToolbarPicture(ToolbarImage image);
QIcon ApplicationIcon();

// The system button-shadow colour the start view and the form are painted in.
QColor ButtonShadowColour();

} // namespace Artwork
