<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="meadow-trees" tilewidth="32" tileheight="64" tilecount="2" columns="2">
 <image source="meadow-trees.png" width="64" height="64"/>
</tileset>
