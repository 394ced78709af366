// Media analysis sources join this library as they are written.
