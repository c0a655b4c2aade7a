<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="sprites" tilewidth="44" tileheight="80" tilecount="5" columns="0">
 <grid orientation="orthogonal" width="1" height="1"/>
 <tile id="0">
  <image width="10" height="44" source="../images/target.png"/>
 </tile>
 <tile id="1">
  <image width="44" height="26" source="../images/lamp-again.png"/>
 </tile>
 <tile id="2">
  <image width="44" height="26" source="../images/lamp-2x.png"/>
 </tile>
 <tile id="3">
  <image width="44" height="26" source="../images/lamp-3x.png"/>
 </tile>
 <tile id="4">
  <image width="20" height="80" source="../images/plunger.png"/>
 </tile>
</tileset>
