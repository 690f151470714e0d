#pragma once
// Placeholder until the EXIF reader lands.
