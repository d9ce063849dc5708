#pragma once

// 1 while firmware flashing runs its write loop: the port then collects the echo in chunks
// and the link insists on a Good Write Reply. 0 otherwise.
extern int FlashWriteMode;
