// inside
