<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="meadow-ground" tilewidth="32" tileheight="32" spacing="2" margin="1" tilecount="4" columns="4">
 <image source="meadow-ground.png" width="136" height="34"/>
 <tile id="3">
  <properties>
   <property name="kind" value="path"/>
  </properties>
 </tile>
</tileset>
