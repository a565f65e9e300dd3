#pragma once

// Registers the running executable as the local server of the simulator's
// class under HKLM\Software\Classes: the ProgID "tavriCom.axdata" naming
// the class, and the class with its ProgID and its LocalServer32 (the
// executable's quoted full path). Replaces whatever the ProgID named
// before. False when a key or value could not be written.
bool RegisterServer();
