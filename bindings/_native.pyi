"""Funciones nativas del paquete tembrolin"""
